#include "listctrl/ListSelection.h"

#include <algorithm>

namespace Vorlaq {

ListSelection::Outcome ListSelection::SelectItem(int row, int column, unsigned keys, int rowCount)
{
    if (row < 0 || row >= rowCount)
        return Outcome::Ignored;
    const bool shift = (keys & kSelectShift) != 0 && !single_;
    const bool ctrl = (keys & kSelectCtrl) != 0;

    if (!ctrl) {
        if (rows_.size() == 1 && *rows_.begin() == row) {
            anchor_ = focusRow_ = row;
            focusColumn_ = column;
            return Outcome::Kept;
        }
        rows_.clear();
    } else {
        if (single_)
            rows_.clear();
        if (rows_.erase(row) != 0) {
            anchor_ = focusRow_ = row;
            focusColumn_ = rows_.size() <= 1 ? column : -1;
            return Outcome::Removed;
        }
    }

    if (shift) {
        // The anchor may point past the rows (the list was emptied and refilled): the range
        // stops at the last row that exists.
        const int from = anchor_ < 0 ? row : std::min(anchor_, rowCount - 1);
        for (int r = std::min(from, row); r <= std::max(from, row); ++r)
            rows_.insert(rows_.end(), r);
    } else {
        rows_.insert(row);
        anchor_ = row;
    }
    focusRow_ = row;
    focusColumn_ = rows_.size() <= 1 ? column : -1;
    return Outcome::Selected;
}

void ListSelection::MoveRows(const std::vector<int>& moved)
{
    auto to = [&moved](int row) { return row >= 0 && static_cast<size_t>(row) < moved.size() ? moved[static_cast<size_t>(row)] : row; };
    std::set<int> rows;
    for (int row : rows_)
        rows.insert(to(row));
    rows_.swap(rows);
    anchor_ = to(anchor_);
    focusRow_ = to(focusRow_);
}

bool ListSelection::SelectAll(int rowCount)
{
    if (single_)
        return false;
    for (int r = 0; r < rowCount; ++r)
        rows_.insert(rows_.end(), r);
    return true;
}

void ListSelection::SelectBand(int first, int last)
{
    rows_.clear();
    if (first > last) {
        anchor_ = -1;
        return;
    }
    for (int r = first; r <= last; ++r)
        rows_.insert(rows_.end(), r);
    anchor_ = first;
    focusRow_ = last;
    focusColumn_ = -1;
}

void ListSelection::Clear()
{
    rows_.clear();
    anchor_ = focusRow_ = focusColumn_ = -1;
}

}  // namespace Vorlaq

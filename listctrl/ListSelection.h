#pragma once
// The selection: an ordered set of row indices with the anchor row, the focus row and the focus
// column, and the rules by which clicks and keys change them.
#include <set>
#include <vector>

namespace Vorlaq {

// Key flags of a selection step (the mouse messages' key bits).
enum SelectKeys : unsigned {
    kSelectPlain = 1,   // type-ahead's plain selection
    kSelectShift = 4,
    kSelectCtrl = 8,
};

class ListSelection {
public:
    enum class Outcome {
        Ignored,    // row outside the list
        Kept,       // the row was already the only selected one: only anchor and focus moved
        Removed,    // Ctrl took the row out of the selection
        Selected,   // the row (or a range up to it) was added
    };

    void SetSingleSelection(bool single) { single_ = single; }
    bool SingleSelection() const { return single_; }

    Outcome SelectItem(int row, int column, unsigned keys, int rowCount);
    // Ctrl+A: every row, anchor and focus untouched. False with single selection.
    bool SelectAll(int rowCount);
    // The rubber band's rows first..last (anchor first, focus last, no focus column); an empty
    // range (first > last) leaves the anchor at -1.
    void SelectBand(int first, int last);

    // Empties the set and forgets anchor, focus row and focus column.
    void Clear();
    // Empties the set only (the rows went away; the anchor stays where it was).
    void ClearRows() { rows_.clear(); }
    // The rows moved: row r is now row moved[r]. Rows the map does not cover keep their index.
    void MoveRows(const std::vector<int>& moved);

    bool IsSelected(int row) const { return rows_.count(row) != 0; }
    int Count() const { return static_cast<int>(rows_.size()); }
    // Ascending.
    std::vector<int> Rows() const { return {rows_.begin(), rows_.end()}; }

    int Anchor() const { return anchor_; }
    int FocusRow() const { return focusRow_; }
    int FocusColumn() const { return focusColumn_; }
    void SetAnchor(int row) { anchor_ = row; }
    void SetFocus(int row, int column) { focusRow_ = row; focusColumn_ = column; }

private:
    std::set<int> rows_;
    int anchor_ = -1;
    int focusRow_ = -1;
    int focusColumn_ = -1;
    bool single_ = false;
};

}  // namespace Vorlaq

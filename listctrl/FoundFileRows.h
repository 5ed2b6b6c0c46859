#pragma once
// The found-files list's rows without a window: it owns one DeletedFileInfo per row, places the
// rows a scan appends into a sorted list, sorts by a column greatest first or reverses, and gives
// cell texts and the tab-separated text of rows (FileListText.h says what a row shows). The
// window reads it.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "scan/DeletedFileInfo.h"

class FoundFileRows {
public:
    // Appends at the end, not yet placed; null is ignored.
    void Append(std::unique_ptr<Vorlaq::DeletedFileInfo> file);
    // Moves the rows appended since the last placing or sort into their places among the others,
    // which are sorted by the column (greatest first, or smallest first when !greatestFirst); an
    // older row goes before a newer one of the same key. Returns where each row went (row r is
    // now row moved[r]), or nothing when no row moved (no sort column, nothing new).
    std::vector<int> PlaceAppended(int column, bool greatestFirst);
    // Greatest first by the column; rows of equal keys keep their order. Nothing for a column
    // outside the columns.
    void Sort(int column);
    // The placed rows in the opposite order; rows not yet placed stay at the end.
    void Reverse();
    void Clear();

    int Count() const { return static_cast<int>(rows_.size()); }
    // The row's record; null outside the rows.
    const Vorlaq::DeletedFileInfo* At(int row) const;
    // Empty outside the rows and columns.
    std::wstring CellText(int row, int column) const;
    // The given rows (those outside the rows are left out), then all rows, as FileListRowsText
    // makes them: the titles of `columns` first.
    std::wstring RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const;
    std::wstring AllRowsText(const std::vector<int>& columns) const;

private:
    // Pointers, so that a sort moves one pointer per row.
    std::vector<std::unique_ptr<Vorlaq::DeletedFileInfo>> rows_;
    // Rows before this one are in the sort's order; those after it came since.
    size_t placedRows_ = 0;
};

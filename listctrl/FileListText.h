#pragma once
// What the found-files list shows of a row, without a window: its columns (titles, widths at 96
// DPI), the row a Recycle Bin file becomes, the cell texts, the sort order per column, the state mark beside the Recoverable words,
// and the tab-separated text that copying or saving rows makes.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/DeletedFileInfo.h"

// Column identities, which are also the sort keys.
enum FileListColumn {
    kFileColumnIndex = 0,
    kFileColumnName,
    kFileColumnPath,
    kFileColumnType,
    kFileColumnSize,
    kFileColumnModified,
    kFileColumnCreated,
    kFileColumnRecoverable,
    kFileColumnCount
};

// The column's header title and its width at 96 DPI; empty and 0 outside the columns.
const wchar_t* FileListColumnTitle(int column);
int FileListColumnWidth(int column);

// The widths, the widest narrowed first, so that together they take at most `room` pixels where
// the columns are to show side by side: every width above one level is cut to that level, the
// highest level that fits (a narrow column such as Type or Size keeps its width while wide ones
// give). As they are when they fit or there is no room at all; a hidden column (width 0) stays
// hidden, a shown one keeps at least one pixel.
std::vector<int> FitColumnWidths(const std::vector<int>& widths, int room);

// The text a row shows in a column; empty for a column outside the columns. Recoverable shows
// the command line's words ("intact", "83%", "overwritten", "damaged", "unknown").
std::wstring FileListCellText(const Vorlaq::DeletedFileInfo& file, int column);
// The sort order: true when a is greater than b in the column (never for an unknown column).
// Recoverable's greatest is the best chance: intact, then the larger share free, damaged,
// overwritten, and unknown last.
bool FileListIsGreater(const Vorlaq::DeletedFileInfo& a, const Vorlaq::DeletedFileInfo& b, int column);
// The sort key of a column that sorts by number (Index, Size, the times by their minute with no
// calendar date lowest, Recoverable by its order above); 0 for the text columns.
uint64_t FileListNumberKey(const Vorlaq::DeletedFileInfo& file, int column);

// The mark drawn beside the Recoverable words: green for intact, amber for a file partly free or
// damaged, red for overwritten, grey for unknown. The words always say the same.
enum class FileListMark { Green, Amber, Red, Grey };
FileListMark RecoverabilityMark(const Vorlaq::Recoverability& value);

// A file from an emptied Recycle Bin becomes the row the list holds as the command line's table
// shows it: the name it had, in the folder it had marked " (bin)", so that its cells, the sort
// and the copied text agree, and a restore proposes and writes that name. Its record number
// still says where its data is. Any other file is left as it is.
void FileListShowOriginalPlace(Vorlaq::DeletedFileInfo& file);

// The rows as tab-separated lines, "\r\n" after each: first the titles of `columns` (identities
// in the order shown), then each row's cells in that order, escaped as the command line's tsv
// escapes them so that a tab or line break in a name cannot split a cell.
std::wstring FileListRowsText(const std::vector<const Vorlaq::DeletedFileInfo*>& rows, const std::vector<int>& columns);

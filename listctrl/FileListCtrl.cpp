#include "listctrl/FileListCtrl.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "ui/Clipboard.h"
#include "ui/Dpi.h"
#include "ui/WindowClass.h"

using Vorlaq::DeletedFileInfo;

namespace {

// A row's place in a sort: its key (greater first) and, among equal keys, its old position.
struct SortEntry {
    uint64_t key;
    uint32_t row;
};

// Four code units from `at`, packed so that the integers compare as those units do (a text that
// ends inside them is padded with zeros).
uint64_t ChunkKey(std::wstring_view text, size_t at)
{
    uint64_t key = 0;
    for (size_t i = at; i < at + 4; ++i)
        key = (key << 16) | (i < text.size() ? static_cast<uint16_t>(text[i]) : 0u);
    return key;
}

// Sorts the texts by UTF-16 code unit (a wchar_t on this target), four units at a time: the entries sort as integers on
// their first four units, and each run of equal ones goes on with the next four. Texts that share
// long beginnings (folders, numbered names) cost a pass per four units, never a comparison that
// follows pointers.
void SortTexts(const std::vector<std::wstring_view>& texts, std::vector<SortEntry>& entries)
{
    struct Range {
        size_t begin, end, at;
    };
    std::vector<Range> work{{0, entries.size(), 0}};
    auto byKey = [](const SortEntry& a, const SortEntry& b) { return a.key < b.key; };
    while (!work.empty()) {
        const Range range = work.back();
        work.pop_back();
        bool allEqual = true;
        for (size_t i = range.begin; i < range.end; ++i) {
            entries[i].key = ChunkKey(texts[entries[i].row], range.at);
            allEqual = allEqual && entries[i].key == entries[range.begin].key;
        }
        // A shared beginning (the drive, a folder) needs no sort, only the next four units.
        if (!allEqual)
            std::sort(entries.begin() + range.begin, entries.begin() + range.end, byKey);
        for (size_t run = range.begin; run < range.end;) {
            size_t next = run + 1;
            bool longer = texts[entries[run].row].size() > range.at + 4;
            while (next < range.end && entries[next].key == entries[run].key) {
                longer = longer || texts[entries[next].row].size() > range.at + 4;
                ++next;
            }
            if (next - run > 1) {
                // Files of one folder share their whole path: one look at each ends the run
                // instead of a pass per four units of it.
                const std::wstring_view first = texts[entries[run].row];
                bool same = longer;
                for (size_t i = run + 1; same && i < next; ++i)
                    same = texts[entries[i].row] == first;
                // Equal texts are done: their order is left to the rows' own.
                if (longer && !same) {
                    work.push_back({run, next, range.at + 4});
                } else if (!longer) {
                    // All end here with the same units: the shorter (zero-padded) comes first.
                    std::sort(entries.begin() + run, entries.begin() + next, [&texts](const SortEntry& a, const SortEntry& b) {
                        return texts[a.row].size() < texts[b.row].size();
                    });
                }
            }
            run = next;
        }
    }
}

// Each row's rank among the column's texts in UTF-16 code unit order (equal texts, equal ranks).
std::vector<uint64_t> TextRanks(const std::vector<std::unique_ptr<DeletedFileInfo>>& rows,
                                const std::wstring& (DeletedFileInfo::*text)() const)
{
    std::vector<std::wstring_view> texts(rows.size());
    std::vector<SortEntry> order(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        texts[i] = ((*rows[i]).*text)();
        order[i] = {0, static_cast<uint32_t>(i)};
    }
    SortTexts(texts, order);
    std::vector<uint64_t> ranks(rows.size());
    uint64_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && texts[order[i].row] != texts[order[i - 1].row])
            ++rank;
        ranks[order[i].row] = rank;
    }
    return ranks;
}

// The column's sort key of every row: texts by rank, the other columns by their number key.
std::vector<uint64_t> SortKeys(const std::vector<std::unique_ptr<DeletedFileInfo>>& rows, int column)
{
    switch (column) {
    case kFileColumnName: return TextRanks(rows, &DeletedFileInfo::GetName);
    case kFileColumnPath: return TextRanks(rows, &DeletedFileInfo::GetPath);
    case kFileColumnType: return TextRanks(rows, &DeletedFileInfo::GetType);
    default: break;
    }
    std::vector<uint64_t> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = FileListNumberKey(*rows[i], column);
    return keys;
}

}  // namespace

FileListCtrl::FileListCtrl()
{
    RegisterWindowClass();
}

FileListCtrl::~FileListCtrl()
{
    // The engine only borrows the row images.
    if (rowImages_)
        ImageList_Destroy(rowImages_);
}

bool FileListCtrl::RegisterWindowClass()
{
    return Vorlaq::RegisterPlainWindowClass(kClassName, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                                            reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), IDC_ARROW);
}

bool FileListCtrl::AttachControl(HWND control)
{
    if (control == nullptr || !::IsWindow(control) || !SubclassWindow(control))
        return false;
    if (Columns().Count() == 0)
        ListEngine::SetDpi(Vorlaq::WindowDpi(control));
    if (rowImages_ == nullptr) {
        rowImages_ = LoadImageStrip(Dpi());
        if (rowImages_ == nullptr)
            return false;
    }
    SetItemImageList(rowImages_);
    if (Columns().Count() == 0) {
        // The widths are for 96 dots per inch; the text grows with the display's DPI, so do they.
        for (int column = 0; column < kFileColumnCount; ++column)
            AddColumn(FileListColumnTitle(column), Vorlaq::ScaleForDpi(FileListColumnWidth(column), Dpi()), -1, false,
                      Vorlaq::kFormatText, 0);
    }
    return Initialise();
}

void FileListCtrl::SetDpi(int dpi)
{
    if (dpi == Dpi())
        return;
    ListEngine::SetDpi(dpi);
    if (rowImages_ == nullptr)
        return;
    if (const HIMAGELIST images = LoadImageStrip(Dpi())) {
        ImageList_Destroy(rowImages_);
        rowImages_ = images;
        SetItemImageList(rowImages_);
    }
}

void FileListCtrl::EnableSort(bool on)
{
    ListEngine::EnableSort(on);
    Invalidate();
}

int FileListCtrl::AddItem(const DeletedFileInfo& file)
{
    AppendItem(std::make_unique<DeletedFileInfo>(file));
    if (!ShowAppendedItems())
        return -1;
    return GetItemCount() - 1;
}

void FileListCtrl::AppendItem(std::unique_ptr<DeletedFileInfo> file)
{
    if (file)
        rows_.push_back(std::move(file));
}

void FileListCtrl::PlaceAppendedRows()
{
    const size_t count = rows_.size();
    const int column = Sort().Column();
    if (column < 0 || placedRows_ >= count) {
        placedRows_ = count;
        return;
    }
    const bool greatestFirst = Sort().Direction();
    auto before = [column, greatestFirst](const std::unique_ptr<DeletedFileInfo>& a,
                                          const std::unique_ptr<DeletedFileInfo>& b) {
        return greatestFirst ? FileListIsGreater(*a, *b, column) : FileListIsGreater(*b, *a, column);
    };
    std::stable_sort(rows_.begin() + static_cast<std::ptrdiff_t>(placedRows_), rows_.end(), before);
    // One merge of the placed rows with the new ones; an old row goes before a new one of the same key.
    std::vector<int> moved(count);
    std::vector<std::unique_ptr<DeletedFileInfo>> merged;
    merged.reserve(count);
    for (size_t old = 0, fresh = placedRows_; old < placedRows_ || fresh < count;) {
        const bool takeFresh = fresh < count && (old >= placedRows_ || before(rows_[fresh], rows_[old]));
        const size_t from = takeFresh ? fresh++ : old++;
        moved[from] = static_cast<int>(merged.size());
        merged.push_back(std::move(rows_[from]));
    }
    rows_.swap(merged);
    placedRows_ = count;
    MoveSelectedRows(moved);
}

bool FileListCtrl::ShowAppendedItems()
{
    PlaceAppendedRows();
    ResetScrollBars(SB_BOTH, -1, true);
    return Invalidate();
}

void FileListCtrl::DeleteAllItems()
{
    rows_.clear();
    placedRows_ = 0;
    ClearSelectedRows();
    ForgetSort();
    ResetScrollBars(SB_BOTH, -1, true);
    Invalidate();
}

const DeletedFileInfo* FileListCtrl::ItemAt(int row) const
{
    if (row < 0 || row >= GetItemCount())
        return nullptr;
    return rows_[static_cast<size_t>(row)].get();
}

bool FileListCtrl::GetItem(int row, DeletedFileInfo& file) const
{
    const DeletedFileInfo* item = ItemAt(row);
    if (item == nullptr)
        return false;
    file = *item;
    return true;
}

std::wstring FileListCtrl::GetItemText(int row, int column) const
{
    const DeletedFileInfo* item = ItemAt(row);
    return item ? FileListCellText(*item, column) : std::wstring();
}

bool FileListCtrl::GetItemMark(int row, int column, COLORREF* colour) const
{
    const DeletedFileInfo* item = ItemAt(row);
    if (item == nullptr || column != kFileColumnRecoverable)
        return false;
    switch (RecoverabilityMark(item->GetRecoverability())) {
    case FileListMark::Green: *colour = RGB(0x2E, 0xA0, 0x43); break;
    case FileListMark::Amber: *colour = RGB(0xF0, 0xA8, 0x00); break;
    case FileListMark::Red: *colour = RGB(0xD0, 0x30, 0x30); break;
    case FileListMark::Grey: *colour = RGB(0x9A, 0x9A, 0x9A); break;
    }
    return true;
}

std::vector<DeletedFileInfo> FileListCtrl::GetSelectedItems() const
{
    std::vector<int> selected;  // ascending: the selection is an ordered set
    GetSelectedRows(selected);
    std::vector<DeletedFileInfo> files;
    for (int row : selected) {
        if (row >= 0 && row < GetItemCount())
            files.push_back(*rows_[static_cast<size_t>(row)]);
    }
    return files;
}

std::vector<int> FileListCtrl::ShownColumns() const
{
    std::vector<int> columns;
    for (int position = 0; position < Columns().Count(); ++position)
        columns.push_back(Columns().At(position)->index);
    return columns;
}

std::wstring FileListCtrl::SelectedRowsText() const
{
    std::vector<int> selected;  // ascending: the selection is an ordered set
    GetSelectedRows(selected);
    std::vector<const DeletedFileInfo*> files;
    files.reserve(selected.size());
    for (int row : selected) {
        if (const DeletedFileInfo* item = ItemAt(row))
            files.push_back(item);
    }
    return FileListRowsText(files, ShownColumns());
}

std::wstring FileListCtrl::AllRowsText() const
{
    std::vector<const DeletedFileInfo*> files;
    files.reserve(rows_.size());
    for (const auto& row : rows_)
        files.push_back(row.get());
    return FileListRowsText(files, ShownColumns());
}

bool FileListCtrl::CopySelection()
{
    std::vector<int> selected;
    if (!GetSelectedRows(selected))
        return false;
    return Vorlaq::PutClipboardText(m_hWnd, SelectedRowsText());
}

void FileListCtrl::SortItems(int column, bool /*ascending*/)
{
    if (column < 0 || column >= kFileColumnCount)
        return;
    // The keys sit side by side with the row numbers, so the sort compares integers in one array
    // instead of following two pointers per comparison. Equal keys keep their order.
    const std::vector<uint64_t> keys = SortKeys(rows_, column);
    std::vector<SortEntry> order(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        order[i] = {keys[i], static_cast<uint32_t>(i)};
    std::sort(order.begin(), order.end(), [](const SortEntry& a, const SortEntry& b) {
        return a.key != b.key ? a.key > b.key : a.row < b.row;
    });
    std::vector<std::unique_ptr<DeletedFileInfo>> sorted;
    sorted.reserve(rows_.size());
    for (const SortEntry& entry : order)
        sorted.push_back(std::move(rows_[entry.row]));
    rows_.swap(sorted);
    placedRows_ = rows_.size();
}

void FileListCtrl::ReverseItems()
{
    // Rows not yet placed keep waiting at the end, to be placed in the new direction.
    std::reverse(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(std::min(placedRows_, rows_.size())));
}

#include "listctrl/FileListCtrl.h"

#include <algorithm>
#include <cstdint>

#include "base/Utf16.h"
#include "ui/WindowClass.h"

using Vorlaq::DeletedFileInfo;

namespace {

struct ColumnSpec {
    const wchar_t* title;
    int width;
};

constexpr ColumnSpec kColumns[kFileColumnCount] = {
    {L"Index", 60},          {L"Name", 100}, {L"Path", 100},          {L"Type", 40},
    {L"Size", 70},           {L"Modified Time", 100}, {L"Creation Time", 100},
};

constexpr int kRowImageWidth = 16;

// The order of a time's text (year down to the minute; a time that has no calendar date shows
// zeros and sorts below all), taken from the value without formatting it.
int64_t TimeSortKey(uint64_t filetime)
{
    constexpr uint64_t kTicksPerMinute = 600000000ull;
    return filetime > 0x7FFFFFFFFFFFFFFFull ? -1 : static_cast<int64_t>(filetime / kTicksPerMinute);
}
constexpr COLORREF kRowImageMask = RGB(255, 0, 255);

}  // namespace

std::wstring FileListCellText(const DeletedFileInfo& file, int column)
{
    switch (column) {
    case kFileColumnIndex: return file.GetRecordNumberText();
    case kFileColumnName: return file.GetName();
    case kFileColumnPath: return file.GetPath();
    case kFileColumnType: return file.GetType();
    case kFileColumnSize: return file.GetSizeText();
    case kFileColumnModified: return file.GetModifiedTimeText();
    case kFileColumnCreated: return file.GetCreationTimeText();
    default: return {};
    }
}

bool FileListIsGreater(const DeletedFileInfo& a, const DeletedFileInfo& b, int column)
{
    switch (column) {
    case kFileColumnIndex: return a.GetRecordNumber() > b.GetRecordNumber();
    case kFileColumnName: return Vorlaq::CompareUtf16(a.GetName(), b.GetName()) > 0;
    case kFileColumnPath: return Vorlaq::CompareUtf16(a.GetPath(), b.GetPath()) > 0;
    case kFileColumnType: return Vorlaq::CompareUtf16(a.GetType(), b.GetType()) > 0;
    case kFileColumnSize: return a.GetSize() > b.GetSize();
    case kFileColumnModified: return TimeSortKey(a.GetModifiedTime()) > TimeSortKey(b.GetModifiedTime());
    case kFileColumnCreated: return TimeSortKey(a.GetCreationTime()) > TimeSortKey(b.GetCreationTime());
    default: return false;
    }
}

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
    if (rowImages_ == nullptr) {
        rowImages_ = ImageList_LoadImageW(Vorlaq::AppModule::instance().GetResourceInstance(),
                                          MAKEINTRESOURCEW(Vorlaq::kListImagesBitmap), kRowImageWidth, 0,
                                          kRowImageMask, IMAGE_BITMAP, LR_CREATEDIBSECTION);
        if (rowImages_ == nullptr)
            return false;
    }
    SetItemImageList(rowImages_);
    if (Columns().Count() == 0) {
        for (const ColumnSpec& column : kColumns)
            AddColumn(column.title, column.width, -1, false, Vorlaq::kFormatText, 0);
    }
    return Initialise();
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

bool FileListCtrl::ShowAppendedItems()
{
    ResetScrollBars(SB_BOTH, -1, true);
    return Invalidate();
}

void FileListCtrl::DeleteAllItems()
{
    rows_.clear();
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

void FileListCtrl::SortItems(int column, bool /*ascending*/)
{
    std::sort(rows_.begin(), rows_.end(),
              [column](const std::unique_ptr<DeletedFileInfo>& a, const std::unique_ptr<DeletedFileInfo>& b) {
                  return FileListIsGreater(*a, *b, column);
              });
}

void FileListCtrl::ReverseItems()
{
    std::reverse(rows_.begin(), rows_.end());
}

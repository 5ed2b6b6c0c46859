#include "listctrl/FileListCtrl.h"

#include "ui/Clipboard.h"
#include "ui/Dpi.h"
#include "ui/WindowClass.h"

using Vorlaq::DeletedFileInfo;

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
    rows_.Append(std::move(file));
}

void FileListCtrl::PlaceAppendedRows()
{
    const std::vector<int> moved = rows_.PlaceAppended(Sort().Column(), Sort().Direction());
    if (!moved.empty())
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
    rows_.Clear();
    ClearSelectedRows();
    ForgetSort();
    ResetScrollBars(SB_BOTH, -1, true);
    Invalidate();
}

const DeletedFileInfo* FileListCtrl::ItemAt(int row) const
{
    return rows_.At(row);
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
    return rows_.CellText(row, column);
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
        if (const DeletedFileInfo* item = ItemAt(row))
            files.push_back(*item);
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
    return rows_.RowsText(selected, ShownColumns());
}

std::wstring FileListCtrl::AllRowsText() const
{
    return rows_.AllRowsText(ShownColumns());
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
    rows_.Sort(column);
}

void FileListCtrl::ReverseItems()
{
    // Rows not yet placed keep waiting at the end, to be placed in the new direction.
    rows_.Reverse();
}

#pragma once
// The found-files list: control 1007 of the main dialog, window class "FileListCtrl". It shows the
// rows of a FoundFileRows, adds the columns (FileListText.h has their texts and order), draws the
// state mark beside the Recoverable words, and has the rows sorted or reversed when the engine's
// header click asks for it. Everything else the user sees and does in the list is the engine's
// (CListImpl).
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "listctrl/FileListText.h"
#include "listctrl/FoundFileRows.h"
#include "listctrl/ListImpl.h"
#include "scan/DeletedFileInfo.h"

class FileListCtrl : public Vorlaq::CListImpl<FileListCtrl> {
public:
    static constexpr const wchar_t* kClassName = L"FileListCtrl";

    // Registers the "FileListCtrl" window class, so a dialog template can create the control.
    FileListCtrl();
    ~FileListCtrl() override;

    static bool RegisterWindowClass();

    // Takes over the dialog's control window, loads the row image strip, adds the columns and runs
    // the engine's set-up. False when the window is not usable or the images cannot be loaded.
    bool AttachControl(HWND control);
    void EnableSort(bool on);
    // The list moved to a monitor of another DPI: columns, fonts and both image strips follow.
    void SetDpi(int dpi);

    // Appends a copy and shows it; returns its row index, or -1 when the repaint could not be
    // requested.
    int AddItem(const Vorlaq::DeletedFileInfo& file);
    // Appends without touching the window: a scan adds files faster than they are worth showing
    // one by one, and shows what came with ShowAppendedItems a few times a second.
    void AppendItem(std::unique_ptr<Vorlaq::DeletedFileInfo> file);
    // Moves the rows appended since into their sorted places when the rows are sorted (the
    // selection follows its rows), brings the scroll bars up to the rows and asks for a repaint.
    bool ShowAppendedItems();
    // Empties the list; the header forgets its sort marker.
    void DeleteAllItems();
    int GetItemCount() const { return rows_.Count(); }
    bool GetItem(int row, Vorlaq::DeletedFileInfo& file) const;
    // The row's record; null outside the rows.
    const Vorlaq::DeletedFileInfo* ItemAt(int row) const;
    std::wstring GetItemText(int row, int column) const;
    // The Recoverable cell's state mark: green, amber, red or grey (FileListText.h).
    bool GetItemMark(int row, int column, COLORREF* colour) const;
    // Copies of the selected rows, top to bottom.
    std::vector<Vorlaq::DeletedFileInfo> GetSelectedItems() const;
    // The selected rows, or all of them, top to bottom as tab-separated text with the titles
    // first, the columns as the header shows them (FileListRowsText).
    std::wstring SelectedRowsText() const;
    std::wstring AllRowsText() const;
    // Ctrl+C and the Copy menu item: SelectedRowsText on the clipboard; false when nothing is
    // selected or the clipboard refused it.
    bool CopySelection();

    // Called by the engine's sort step: greatest first by the column (the direction is the
    // engine's to show; a further click reverses instead of sorting again).
    void SortItems(int column, bool ascending);
    void ReverseItems();

private:
    void PlaceAppendedRows();
    // Column identities in the order the header shows them.
    std::vector<int> ShownColumns() const;

    FoundFileRows rows_;
    HIMAGELIST rowImages_ = nullptr;
};

#pragma once
// In-place editors over a cell: an edit box, a drop-down list and a date-time picker. Each one
// tells the list it closed with an LN_ENDEDIT notification carrying the key that closed it
// (Escape, Delete, Tab, Return or 0 for focus lost), the text and for dates the date.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/WindowImpl.h"

namespace Vorlaq {

// Our own column flags for the edit box's input check.
enum ListEditFlags : unsigned {
    kFlagInteger = 0x10,   // digits and a leading minus
    kFlagDecimal = 0x20,   // also a decimal point; stored formatted with "%lf"
};

// What all three share: where they edit and how they report.
class ListEditorBase : public WindowImplRoot {
public:
    bool IsShown() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    int Row() const { return row_; }
    int Column() const { return column_; }

protected:
    void Place(HWND list, int row, int column, const RECT& rect);
    // Sends LN_ENDEDIT once per opening.
    void Finish(int key, const std::wstring& text, const SYSTEMTIME* date);

    HWND list_ = nullptr;
    int row_ = -1;
    int column_ = -1;
    bool open_ = false;
};

class CListEdit : public ListEditorBase {
public:
    bool Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text, unsigned flags);

    QR_BEGIN_MSG_MAP(CListEdit)
        QR_MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        QR_MESSAGE_HANDLER(WM_CHAR, OnChar)
        QR_MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
        QR_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
    QR_END_MSG_MAP()

private:
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnChar(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTALLKEYS; }
    void Close(int key);

    unsigned flags_ = 0;
};

class CListCombo : public ListEditorBase {
public:
    bool Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text,
              const std::vector<std::wstring>& choices);

    QR_BEGIN_MSG_MAP(CListCombo)
        QR_MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        QR_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        QR_REFLECTED_COMMAND_CODE_HANDLER(CBN_KILLFOCUS, OnKillFocus)
        QR_REFLECTED_COMMAND_CODE_HANDLER(CBN_SELENDOK, OnSelEndOk)
        QR_DEFAULT_REFLECTION_HANDLER()
    QR_END_MSG_MAP()

private:
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTALLKEYS; }
    LRESULT OnKillFocus(WORD, WORD, HWND, BOOL&);
    LRESULT OnSelEndOk(WORD, WORD, HWND, BOOL&) { return 0; }
    void Close(int key);
};

class CListDate : public ListEditorBase {
public:
    // flags: 0x400 date only, 0x800 time only, neither or both: date and time.
    bool Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text, unsigned flags);

    QR_BEGIN_MSG_MAP(CListDate)
        QR_MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        QR_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        QR_MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
    QR_END_MSG_MAP()

private:
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTALLKEYS; }
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL&);
    void Close(int key);

    unsigned flags_ = 0;
};

// "YYYY-MM-DD", "HH:MM[:SS]" or both, as the list's date cells show them; false otherwise.
bool ParseCellDate(const std::wstring& text, SYSTEMTIME* date);
std::wstring FormatCellDate(const SYSTEMTIME& date, unsigned flags);

}  // namespace Vorlaq

#pragma once
// What the list tells its parent: a notify message whose record names the row and column.
#include <windows.h>

namespace Vorlaq {

constexpr int LN_SELCHANGED = -1501;  // a click or key changed the selection
constexpr int LN_CLICK = -1502;       // left button released over the list
constexpr int LN_RCLICK = -1503;      // right button released
constexpr int LN_DBLCLK = -1504;      // left double click
constexpr int LN_ENDEDIT = -1505;     // an in-place editor closed (editor to list)
constexpr int LN_MODIFIED = -1506;    // a check box was toggled or an edit accepted
constexpr int LN_HYPERLINK = -1507;   // a hyperlink cell was clicked
constexpr int LN_BUTTON = -1508;      // a button cell was clicked

struct ListNotify {
    NMHDR hdr;
    int item;                 // row, -1 if none
    int column;               // column identity, -1 if none
    int exitKey;              // editors only: the key that closed them
    const wchar_t* text;      // editors only
    const SYSTEMTIME* date;   // date editor only
};

// Fills in a ListNotify from window `from` (its control id) and sends it to `to`.
inline void SendListNotify(HWND to, HWND from, int code, int item, int column, int exitKey = 0,
                           const wchar_t* text = nullptr, const SYSTEMTIME* date = nullptr)
{
    ListNotify nm{};
    nm.hdr.hwndFrom = from;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(from));
    nm.hdr.code = static_cast<UINT>(code);
    nm.item = item;
    nm.column = column;
    nm.exitKey = exitKey;
    nm.text = text;
    nm.date = date;
    ::SendMessageW(to, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

}  // namespace Vorlaq

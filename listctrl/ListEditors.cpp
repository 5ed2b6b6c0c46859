#include "listctrl/ListEditors.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

#include "listctrl/ListColumns.h"
#include "listctrl/ListEngine.h"
#include "listctrl/ListNotify.h"
#include "ui/Dpi.h"

namespace Vorlaq {

void ListEditorBase::Place(HWND list, int row, int column, const RECT& rect)
{
    list_ = list;
    row_ = row;
    column_ = column;
    open_ = true;
    SetWindowPos(HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, SWP_SHOWWINDOW);
    SetFocus();
}

void ListEditorBase::Finish(int key, const std::wstring& text, const SYSTEMTIME* date)
{
    if (!open_)
        return;
    open_ = false;
    SendListNotify(list_, m_hWnd, LN_ENDEDIT, row_, column_, key, text.c_str(), date);
}

// --- edit box ---

bool CListEdit::Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text,
                     unsigned flags)
{
    if (m_hWnd == nullptr) {
        const HWND edit = ::CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 0, 0, list,
                                            nullptr, nullptr, nullptr);
        if (edit == nullptr || !SubclassWindow(edit))
            return false;
    }
    flags_ = flags;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowText(text);
    Place(list, row, column, rect);
    SendMessage(EM_SETSEL, 0, -1);
    return true;
}

void CListEdit::Close(int key)
{
    std::wstring text = GetWindowText();
    if (key != VK_ESCAPE && (flags_ & kFlagDecimal)) {
        wchar_t* end = nullptr;
        const double value = std::wcstod(text.c_str(), &end);
        wchar_t formatted[64];
        std::swprintf(formatted, 64, L"%lf", value);
        text = formatted;
    }
    Finish(key, text, nullptr);
}

LRESULT CListEdit::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    switch (wParam) {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_TAB:
        Close(static_cast<int>(wParam));
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

LRESULT CListEdit::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    const wchar_t c = static_cast<wchar_t>(wParam);
    if (c == L'\r' || c == L'\x1b' || c == L'\t')
        return 0;  // closing keys: no beep
    if (c >= L' ' && (flags_ & (kFlagInteger | kFlagDecimal))) {
        const bool digit = c >= L'0' && c <= L'9';
        const bool allowed = digit || c == L'-' || (c == L'.' && (flags_ & kFlagDecimal));
        if (!allowed)
            return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CListEdit::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& handled)
{
    Close(0);
    handled = FALSE;
    return 0;
}

// --- drop-down list ---

bool CListCombo::Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text,
                      const std::vector<std::wstring>& choices)
{
    if (m_hWnd == nullptr) {
        const HWND combo = ::CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0,
                                             0, list, nullptr, nullptr, nullptr);
        if (combo == nullptr || !SubclassWindow(combo))
            return false;
    }
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessage(CB_RESETCONTENT);
    for (const std::wstring& choice : choices)
        SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    RECT dropped = rect;
    dropped.bottom = rect.top + ScaleForDpi(200, WindowDpi(list));  // room for the drop-down part
    Place(list, row, column, dropped);
    return true;
}

void CListCombo::Close(int key)
{
    std::wstring text;
    const LRESULT selected = SendMessage(CB_GETCURSEL);
    if (selected >= 0) {
        const LRESULT length = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(selected));
        if (length > 0) {
            text.resize(static_cast<size_t>(length) + 1);
            SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<size_t>(length));
        }
    }
    Finish(key, text, nullptr);
}

LRESULT CListCombo::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    switch (wParam) {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_TAB:
    case VK_DELETE:
        Close(static_cast<int>(wParam));
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

LRESULT CListCombo::OnKillFocus(WORD, WORD, HWND, BOOL&)
{
    Close(0);
    return 0;
}

// --- date and time ---

bool ParseCellDate(const std::wstring& text, SYSTEMTIME* date)
{
    *date = SYSTEMTIME{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) >= 3) {
        // date first, maybe a time after it
    } else if (std::swscanf(text.c_str(), L"%d:%d:%d", &h, &mi, &s) >= 2) {
        y = 2000, mo = 1, d = 1;
    } else {
        return false;
    }
    if (y < 1601 || y > 30827 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59
        || s < 0 || s > 59)
        return false;
    date->wYear = static_cast<WORD>(y);
    date->wMonth = static_cast<WORD>(mo);
    date->wDay = static_cast<WORD>(d);
    date->wHour = static_cast<WORD>(h);
    date->wMinute = static_cast<WORD>(mi);
    date->wSecond = static_cast<WORD>(s);
    return true;
}

std::wstring FormatCellDate(const SYSTEMTIME& date, unsigned flags)
{
    wchar_t text[64];
    if ((flags & kFlagDateOnly) && !(flags & kFlagTimeOnly))
        std::swprintf(text, 64, L"%04d-%02d-%02d", date.wYear, date.wMonth, date.wDay);
    else if ((flags & kFlagTimeOnly) && !(flags & kFlagDateOnly))
        std::swprintf(text, 64, L"%02d:%02d", date.wHour, date.wMinute);
    else
        std::swprintf(text, 64, L"%04d-%02d-%02d %02d:%02d", date.wYear, date.wMonth, date.wDay, date.wHour,
                      date.wMinute);
    return text;
}

bool CListDate::Open(HWND list, HFONT font, int row, int column, const RECT& rect, const std::wstring& text,
                     unsigned flags)
{
    if (m_hWnd == nullptr) {
        const HWND picker = ::CreateWindowExW(0, DATETIMEPICK_CLASSW, L"", WS_CHILD | DTS_SHOWNONE, 0, 0, 0, 0, list,
                                              nullptr, nullptr, nullptr);
        if (picker == nullptr || !SubclassWindow(picker))
            return false;
    }
    flags_ = flags;
    const wchar_t* format = L"yyyy'-'MM'-'dd' 'HH':'mm";
    if ((flags & kFlagDateOnly) && !(flags & kFlagTimeOnly))
        format = L"yyyy'-'MM'-'dd";
    else if ((flags & kFlagTimeOnly) && !(flags & kFlagDateOnly))
        format = L"HH':'mm";
    SendMessage(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format));
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SYSTEMTIME date;
    if (ParseCellDate(text, &date))
        SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
    else
        SendMessage(DTM_SETSYSTEMTIME, GDT_NONE, 0);
    Place(list, row, column, rect);
    return true;
}

void CListDate::Close(int key)
{
    SYSTEMTIME date{};
    const bool valid = SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) == GDT_VALID;
    const std::wstring text = valid ? FormatCellDate(date, flags_) : std::wstring();
    Finish(key, text, valid ? &date : nullptr);
}

LRESULT CListDate::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    switch (wParam) {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_TAB:
    case VK_DELETE:
        Close(static_cast<int>(wParam));
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

LRESULT CListDate::OnKillFocus(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    // The drop-down calendar is the picker's own: focus going there is not the end.
    const HWND to = reinterpret_cast<HWND>(wParam);
    if (to == nullptr || ::GetParent(to) != m_hWnd)
        Close(0);
    handled = FALSE;
    return 0;
}

// --- the list's side ---

bool ListEngine::IsEditing() const
{
    return EditorWindow() != nullptr;
}

HWND ListEngine::EditorWindow() const
{
    if (edit_ && edit_->IsShown())
        return edit_->m_hWnd;
    if (combo_ && combo_->IsShown())
        return combo_->m_hWnd;
    if (date_ && date_->IsShown())
        return date_->m_hWnd;
    return nullptr;
}

void ListEngine::StartEdit(int row, int position)
{
    const int index = IndexAt(position);
    if (row < 0 || row >= RowCount() || index < 0)
        return;
    const int format = ItemFormat(row, index);
    const unsigned flags = ItemFlags(row, index);
    if ((flags & kFlagReadOnly) || (format != kFormatEdit && format != kFormatDate && format != kFormatCombo))
        return;
    CloseEditors();
    HideTitleTip();
    const RECT cell = CellRect(row, position);
    const RECT rect{cell.left + 1, cell.top, cell.right, cell.bottom};
    const std::wstring text = ItemText(row, index);
    if (format == kFormatEdit) {
        if (!edit_)
            edit_ = std::make_unique<CListEdit>();
        edit_->Open(m_hWnd, font_, row, index, rect, text, flags);
    } else if (format == kFormatCombo) {
        if (!combo_)
            combo_ = std::make_unique<CListCombo>();
        combo_->Open(m_hWnd, font_, row, index, rect, text, rows_.comboItems(rows_.self, row, index));
    } else {
        if (!date_)
            date_ = std::make_unique<CListDate>();
        date_->Open(m_hWnd, font_, row, index, rect, text, flags);
    }
}

void ListEngine::CloseEditors()
{
    for (ListEditorBase* editor : {static_cast<ListEditorBase*>(edit_.get()), static_cast<ListEditorBase*>(combo_.get()),
                                   static_cast<ListEditorBase*>(date_.get())}) {
        if (editor && editor->IsShown())
            editor->ShowWindow(SW_HIDE);
    }
}

LRESULT ListEngine::OnEndEdit(int, NMHDR* header, BOOL&)
{
    const auto* nm = reinterpret_cast<const ListNotify*>(header);
    const int row = nm->item, index = nm->column;
    // Take the focus back before hiding, so the editor's focus loss finds it already closed.
    if (::GetFocus() == header->hwndFrom)
        SetFocus();
    CloseEditors();
    if (nm->exitKey == VK_ESCAPE || row < 0 || row >= RowCount())
        return 0;
    if (nm->exitKey == VK_DELETE)
        rows_.setText(rows_.self, row, index, L"");
    else if (nm->date)
        rows_.setDate(rows_.self, row, index, *nm->date);
    else
        rows_.setText(rows_.self, row, index, nm->text ? nm->text : L"");
    if (nm->exitKey == VK_TAB)
        PostMessage(WM_KEYDOWN, VK_TAB, 0);
    NotifyParent(row, index, LN_MODIFIED);
    const RECT client = GetClientRect();
    const RECT line{0, scroll_.RowTop(row), client.right, scroll_.RowTop(row) + rowHeight_};
    InvalidateRect(line);
    return 0;
}

}  // namespace Vorlaq

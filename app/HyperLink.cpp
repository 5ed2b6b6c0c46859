#include "app/HyperLink.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/LinkColour.h"

namespace Vorlaq {

namespace {

// Where the browser keeps the user's link colours.
constexpr const wchar_t* kBrowserSettingsKey = L"Software\\Microsoft\\Internet Explorer\\Settings";

bool ReadColourSetting(HKEY key, const wchar_t* name, COLORREF* colour)
{
    wchar_t text[64] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS
        || type != REG_SZ)
        return false;
    RgbColour rgb;
    if (!ParseRgbText(text, &rgb))
        return false;
    *colour = RGB(rgb.red, rgb.green, rgb.blue);
    return true;
}

}  // namespace

HyperLink::~HyperLink()
{
    if (font_)
        ::DeleteObject(font_);
}

bool HyperLink::AttachLabel(HWND label, const std::wstring& target)
{
    if (!::IsWindow(label) || !SubclassWindow(label))
        return false;
    target_ = target;
    // A plain label lets mouse clicks through and is skipped by the Tab key.
    ModifyStyle(0, SS_NOTIFY | WS_TABSTOP);
    LoadColours();
    CreateLinkFont();
    CreateToolTip();
    Invalidate(true);
    return true;
}

void HyperLink::LoadColours()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReadColourSetting(key, L"Anchor Color", &linkColour_);
    ReadColourSetting(key, L"Anchor Color Visited", &visitedColour_);
    ::RegCloseKey(key);
}

void HyperLink::CreateLinkFont()
{
    auto labelFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    LOGFONTW face{};
    if (labelFont == nullptr || ::GetObjectW(labelFont, sizeof(face), &face) == 0)
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
    face.lfUnderline = TRUE;
    font_ = ::CreateFontIndirectW(&face);
}

void HyperLink::CreateToolTip()
{
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                 AppModule::instance().GetModuleInstance(), nullptr);
    if (tooltip_ == nullptr)
        return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(m_hWnd);
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = const_cast<wchar_t*>(target_.c_str());
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

RECT HyperLink::TextRect()
{
    RECT rc = GetClientRect();
    HDC dc = ::GetDC(m_hWnd);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    const std::wstring text = GetWindowText();
    ::DrawTextW(dc, text.c_str(), -1, &rc, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return rc;
}

LRESULT HyperLink::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client = GetClientRect();
    // The dialog's own background behind the text.
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(m_hWnd), WM_CTLCOLORSTATIC,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ old = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, visited_ ? visitedColour_ : linkColour_);
    const std::wstring text = GetWindowText();
    ::DrawTextW(dc, text.c_str(), -1, &client, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    if (::GetFocus() == m_hWnd) {
        RECT focus = TextRect();
        ::DrawFocusRect(dc, &focus);
    }
    ::SelectObject(dc, old);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT HyperLink::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&)
{
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

LRESULT HyperLink::OnLeftDown(UINT, WPARAM, LPARAM, BOOL&)
{
    SetFocus();
    ::SetCapture(m_hWnd);
    pressed_ = true;
    return 0;
}

LRESULT HyperLink::OnLeftUp(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (!pressed_)
        return 0;
    pressed_ = false;
    ::ReleaseCapture();
    const POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const RECT rc = GetClientRect();
    if (::PtInRect(&rc, pt))
        Open();
    return 0;
}

LRESULT HyperLink::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (wParam == VK_RETURN || wParam == VK_SPACE)
        Open();
    else
        handled = FALSE;
    return 0;
}

LRESULT HyperLink::OnFocus(UINT, WPARAM, LPARAM, BOOL&)
{
    Invalidate(true);
    return 0;
}

void HyperLink::Open()
{
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) {
        visited_ = true;
        Invalidate(true);
    }
}

}  // namespace Vorlaq

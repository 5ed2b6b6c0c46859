#include "listctrl/TitleTip.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "listctrl/CellRules.h"
#include "listctrl/ListEngine.h"
#include "listctrl/RoundFrame.h"
#include "ui/Dpi.h"

namespace Vorlaq {

CTitleTip::~CTitleTip()
{
    if (m_hWnd)
        DestroyWindow();
    if (font_)
        ::DeleteObject(font_);
}

bool CTitleTip::Create(ListEngine* list)
{
    list_ = list->m_hWnd;
    if (!WindowImpl<CTitleTip>::Create(list_, nullptr, nullptr, WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW))
        return false;
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                 nullptr, nullptr);
    if (tooltip_ == nullptr)
        return false;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 32767);
    ::SendMessageW(tooltip_, TTM_ACTIVATE, FALSE, 0);
    return true;
}

void CTitleTip::LoadSettings(bool themed, int dpi)
{
    themed_ = themed && ::IsAppThemed();
    dpi_ = dpi;
    background_ = ::GetSysColor(COLOR_INFOBK);
    textColour_ = themed_ ? ::GetSysColor(COLOR_WINDOWTEXT) : ::GetSysColor(COLOR_INFOTEXT);
    LOGFONTW messageFont{};
    if (MessageFontForDpi(dpi, &messageFont)) {
        if (const HFONT font = ::CreateFontIndirectW(&messageFont)) {
            if (font_)
                ::DeleteObject(font_);
            font_ = font;
        }
    }
}

int CTitleTip::TextWidth(const std::wstring& text) const
{
    const HDC dc = ::GetDC(m_hWnd);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return size.cx;
}

void CTitleTip::Show(const RECT& screen, const std::wstring& text, const std::wstring& toolTip)
{
    text_ = text;
    SetWindowText(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = const_cast<wchar_t*>(toolTip.c_str());
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_ACTIVATE, toolTip.empty() ? FALSE : TRUE, 0);
    // A long path is wider than the monitor: the tip stays on it, and its text ends in an ellipsis.
    RECT placed = screen;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromRect(&screen, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        const ListRect kept = KeepTipOnMonitor({screen.left, screen.top, screen.right, screen.bottom},
                                               {work.left, work.top, work.right, work.bottom});
        placed = {kept.left, kept.top, kept.right, kept.bottom};
    }
    SetWindowPos(HWND_TOPMOST, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Invalidate();
    ::SetCapture(m_hWnd);
}

void CTitleTip::Hide()
{
    if (m_hWnd == nullptr)
        return;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (::IsWindowVisible(m_hWnd))
        ShowWindow(SW_HIDE);
}

LRESULT CTitleTip::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT rc = GetClientRect();
    if (themed_) {
        const HBRUSH back = ::CreateSolidBrush(background_);
        ::FillRect(dc, &rc, back);
        ::DeleteObject(back);
        RoundFrame(dc, rc, ScaleForDpi(5, dpi_), RGB(220, 220, 220), background_);
        const RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
        RoundFrame(dc, inner, ScaleForDpi(2, dpi_), RGB(245, 245, 245), background_);
        TRIVERTEX v[2] = {{rc.left + 2, rc.top + 2, 250 << 8, 250 << 8, 250 << 8, 0},
                          {rc.right - 2, rc.bottom - 2, 235 << 8, 235 << 8, 235 << 8, 0}};
        GRADIENT_RECT g{0, 1};
        ::GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
    } else {
        const HBRUSH back = ::CreateSolidBrush(background_);
        ::FillRect(dc, &rc, back);
        ::DeleteObject(back);
        const HBRUSH frame = ::CreateSolidBrush(textColour_);
        ::FrameRect(dc, &rc, frame);
        ::DeleteObject(frame);
    }
    rc.left += ScaleForDpi(4, dpi_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour_);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &rc,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(dc, old);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CTitleTip::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const RECT rc = GetClientRect();
    if (!::PtInRect(&rc, pt)) {
        Hide();
        // The list takes over where the mouse is now.
        POINT inList = pt;
        ::MapWindowPoints(m_hWnd, list_, &inList, 1);
        ::PostMessageW(list_, WM_MOUSEMOVE, wParam, MAKELPARAM(inList.x, inList.y));
    }
    return 0;
}

LRESULT CTitleTip::OnButton(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ClientToScreen(m_hWnd, &screen);
    Hide();
    const LRESULT hit = ::SendMessageW(list_, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    if (hit == HTCLIENT) {
        POINT client = screen;
        ::ScreenToClient(list_, &client);
        ::SendMessageW(list_, msg, wParam, MAKELPARAM(client.x, client.y));
    } else {
        ::SendMessageW(list_, msg + (WM_NCLBUTTONDOWN - WM_LBUTTONDOWN), static_cast<WPARAM>(hit),
                       MAKELPARAM(screen.x, screen.y));
    }
    return 0;
}

LRESULT CTitleTip::OnWheel(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    Hide();
    ::SendMessageW(list_, msg, wParam, lParam);
    return 0;
}

}  // namespace Vorlaq

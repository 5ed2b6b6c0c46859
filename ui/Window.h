#pragma once
// A thin, non-owning handle to a window: the few helpers the shell and the list use, no state
// besides the handle. Copying it copies the handle, never the window.
#include <windows.h>

#include <string>

namespace Vorlaq {

class Window {
public:
    HWND m_hWnd = nullptr;

    Window(HWND hwnd = nullptr) : m_hWnd(hwnd) {}
    operator HWND() const { return m_hWnd; }

    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    RECT GetClientRect() const
    {
        RECT rc{};
        ::GetClientRect(m_hWnd, &rc);
        return rc;
    }
    bool Invalidate(bool erase = false) const { return ::InvalidateRect(m_hWnd, nullptr, erase) != FALSE; }
    bool InvalidateRect(const RECT& rc, bool erase = false) const { return ::InvalidateRect(m_hWnd, &rc, erase) != FALSE; }
    bool UpdateWindow() const { return ::UpdateWindow(m_hWnd) != FALSE; }
    bool ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd) != FALSE; }
    bool DestroyWindow()
    {
        return m_hWnd && ::DestroyWindow(m_hWnd) != FALSE;
    }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    LONG_PTR GetExStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }
    // Adds and removes style bits; with frameFlags != 0 the frame is recomputed at once.
    bool ModifyStyle(DWORD remove, DWORD add, UINT frameFlags = 0) const;
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT frameFlags = 0) const;
    std::wstring GetWindowText() const;
    bool SetWindowText(const std::wstring& text) const { return ::SetWindowTextW(m_hWnd, text.c_str()) != FALSE; }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const
    {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != FALSE;
    }
};

}  // namespace Vorlaq

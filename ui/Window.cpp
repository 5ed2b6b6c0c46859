#include "ui/Window.h"

namespace Vorlaq {

namespace {

bool ChangeLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT frameFlags)
{
    const LONG_PTR old = ::GetWindowLongPtrW(hwnd, index);
    const LONG_PTR now = (old & ~static_cast<LONG_PTR>(remove)) | static_cast<LONG_PTR>(add);
    if (now == old)
        return false;
    ::SetWindowLongPtrW(hwnd, index, now);
    if (frameFlags != 0)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | frameFlags);
    return true;
}

}  // namespace

bool Window::ModifyStyle(DWORD remove, DWORD add, UINT frameFlags) const
{
    return ChangeLong(m_hWnd, GWL_STYLE, remove, add, frameFlags);
}

bool Window::ModifyStyleEx(DWORD remove, DWORD add, UINT frameFlags) const
{
    return ChangeLong(m_hWnd, GWL_EXSTYLE, remove, add, frameFlags);
}

std::wstring Window::GetWindowText() const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

}  // namespace Vorlaq

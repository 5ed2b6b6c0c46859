#include "app/DialogDpiLayout.h"

#include <algorithm>
#include <string>

namespace Vorlaq {

namespace {

RECT ChildRect(HWND dialog, HWND child)
{
    RECT rc{};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::vector<HWND> Children(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool IsLeftLabel(HWND window)
{
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return ::lstrcmpiW(name, L"Static") == 0 && (::GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
}

// The width the label needs to show its text on one line, as the label draws it (its trailing
// blank counts where the drawing breaks lines); 0 when the text fits as it is.
int WidthWanted(HWND label)
{
    const int length = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(label, text.data(), length + 1)));
    if (text.empty())
        return 0;
    const HDC dc = ::GetDC(label);
    if (dc == nullptr)
        return 0;
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT client{};
    ::GetClientRect(label, &client);
    RECT wrapped = client;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    RECT line{0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    const bool fits = wrapped.bottom - wrapped.top <= line.bottom - line.top && wrapped.right <= client.right;
    return fits ? 0 : line.right - line.left;
}

}  // namespace

DialogDpiLayout::~DialogDpiLayout()
{
    if (scaledFont_)
        ::DeleteObject(scaledFont_);
}

void DialogDpiLayout::Capture(HWND dialog, int dpi)
{
    dialog_ = dialog;
    dpi_ = dpi;
    templateFont_ = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    controls_.clear();
    for (HWND child : Children(dialog))
        controls_.push_back({child, ChildRect(dialog, child)});
}

void DialogDpiLayout::Apply(int dpi)
{
    if (dialog_ == nullptr || dpi <= 0)
        return;
    HFONT font = templateFont_;
    LOGFONTW logFont{};
    if (dpi != dpi_ && templateFont_ && ::GetObjectW(templateFont_, sizeof(logFont), &logFont)) {
        logFont.lfHeight = ::MulDiv(logFont.lfHeight, dpi, dpi_);
        if (const HFONT scaled = ::CreateFontIndirectW(&logFont))
            font = scaled;
    }
    for (const Placed& placed : controls_) {
        const RECT& r = placed.rect;
        const int left = ::MulDiv(r.left, dpi, dpi_);
        const int top = ::MulDiv(r.top, dpi, dpi_);
        ::SetWindowPos(placed.control, nullptr, left, top, ::MulDiv(r.right, dpi, dpi_) - left,
                       ::MulDiv(r.bottom, dpi, dpi_) - top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (font)
            ::SendMessageW(placed.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // The controls hold the new font now: the one they had before can go.
    if (scaledFont_ && scaledFont_ != font)
        ::DeleteObject(scaledFont_);
    scaledFont_ = font != templateFont_ ? font : nullptr;
    FitLabels(dialog_);
}

void DialogDpiLayout::FitLabels(HWND dialog)
{
    RECT client{};
    ::GetClientRect(dialog, &client);
    const std::vector<HWND> children = Children(dialog);
    for (HWND label : children) {
        if (!IsLeftLabel(label))
            continue;
        const int width = WidthWanted(label);
        if (width == 0)
            continue;
        const RECT rc = ChildRect(dialog, label);
        const int wanted = rc.left + width;
        // Room up to the nearest control that starts right of the label on the same line.
        int room = client.right;
        for (HWND other : children) {
            const RECT o = ChildRect(dialog, other);
            if (other != label && o.left >= rc.right && o.top < rc.bottom && o.bottom > rc.top)
                room = std::min<int>(room, o.left);
        }
        const int right = std::min(wanted, room);
        if (right > rc.right)
            ::SetWindowPos(label, nullptr, 0, 0, right - rc.left, rc.bottom - rc.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace Vorlaq

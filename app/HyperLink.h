#pragma once
// A static label turned into a link: underlined text in the link colour (the visited colour once
// opened), the hand cursor, a tooltip naming the target, opened with the shell on a click or on
// Enter or space while it has the focus.
#include <windows.h>

#include <string>

#include "ui/WindowImpl.h"

namespace Vorlaq {

class HyperLink : public WindowImplRoot {
public:
    HyperLink() = default;
    ~HyperLink() override;

    // Takes over the label; false when it is not a window or already taken.
    bool AttachLabel(HWND label, const std::wstring& target);
    bool IsVisited() const { return visited_; }

    QR_BEGIN_MSG_MAP(HyperLink)
        QR_MESSAGE_HANDLER(WM_PAINT, OnPaint)
        QR_MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        QR_MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLeftDown)
        QR_MESSAGE_HANDLER(WM_LBUTTONUP, OnLeftUp)
        QR_MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        QR_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        QR_MESSAGE_HANDLER(WM_SETFOCUS, OnFocus)
        QR_MESSAGE_HANDLER(WM_KILLFOCUS, OnFocus)
    QR_END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLeftDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLeftUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTCHARS; }
    LRESULT OnFocus(UINT, WPARAM, LPARAM, BOOL&);

    void LoadColours();
    void CreateLinkFont();
    void CreateToolTip();
    RECT TextRect();
    void Open();

    std::wstring target_;
    COLORREF linkColour_ = RGB(0, 0, 255);
    COLORREF visitedColour_ = RGB(128, 0, 128);
    HFONT font_ = nullptr;
    HWND tooltip_ = nullptr;
    bool pressed_ = false;
    bool visited_ = false;
};

}  // namespace Vorlaq

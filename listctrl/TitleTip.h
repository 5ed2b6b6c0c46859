#pragma once
// The title tip: a topmost popup over a clipped cell that shows its full text. It holds the
// mouse while shown, hides as soon as the mouse leaves it and hands clicks on to the list.
#include <windows.h>

#include <string>

#include "ui/WindowImpl.h"

namespace Vorlaq {

class ListEngine;

class CTitleTip : public WindowImpl<CTitleTip> {
public:
    ~CTitleTip() override;

    bool Create(ListEngine* list);
    // Colours and font (the list's, at its DPI); `themed`: the list draws with visual styles.
    void LoadSettings(bool themed, int dpi);
    // Screen rectangle; toolTip: an optional longer text for the tip's own tooltip control.
    void Show(const RECT& screen, const std::wstring& text, const std::wstring& toolTip);
    void Hide();
    bool IsShown() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    const std::wstring& Text() const { return text_; }
    int TextWidth(const std::wstring& text) const;

    QR_BEGIN_MSG_MAP(CTitleTip)
        QR_MESSAGE_HANDLER(WM_PAINT, OnPaint)
        QR_MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        QR_MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        QR_MESSAGE_HANDLER(WM_LBUTTONDOWN, OnButton)
        QR_MESSAGE_HANDLER(WM_LBUTTONUP, OnButton)
        QR_MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnButton)
        QR_MESSAGE_HANDLER(WM_RBUTTONDOWN, OnButton)
        QR_MESSAGE_HANDLER(WM_RBUTTONUP, OnButton)
        QR_MESSAGE_HANDLER(WM_MBUTTONDOWN, OnButton)
        QR_MESSAGE_HANDLER(WM_MOUSEWHEEL, OnWheel)
        QR_MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    QR_END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnButton(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnWheel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }

    HWND list_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    std::wstring text_;
    bool themed_ = false;
    int dpi_ = 96;
    COLORREF background_ = 0;
    COLORREF textColour_ = 0;
};

}  // namespace Vorlaq

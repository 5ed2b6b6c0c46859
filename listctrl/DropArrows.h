#pragma once
// The red arrows that mark where a dragged header column would go: a disabled popup cut to
// the shape of a down arrow above the header and an up arrow below it.
#include <windows.h>

#include "ui/WindowImpl.h"

namespace Vorlaq {

class CDropArrows : public WindowImpl<CDropArrows> {
public:
    ~CDropArrows() override;

    // (Re)creates the window for a header of this height, at the list's DPI.
    bool Create(HWND owner, int headerHeight, int dpi);
    // Centres the arrows on screen point (x, y): the window goes to (x - 7, y - height / 2), the 7
    // grown with the DPI.
    void Show(int x, int y);
    void Hide();
    bool IsShown() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    int Height() const { return height_; }
    int Dpi() const { return dpi_; }

    QR_BEGIN_MSG_MAP(CDropArrows)
        QR_MESSAGE_HANDLER(WM_PAINT, OnPaint)
        QR_MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    QR_END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

    int height_ = 0;
    int dpi_ = 96;
};

}  // namespace Vorlaq

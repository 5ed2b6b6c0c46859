#include "listctrl/DropArrows.h"

#include "listctrl/CellRules.h"
#include "ui/DpiScale.h"

namespace Vorlaq {

CDropArrows::~CDropArrows()
{
    if (m_hWnd)
        DestroyWindow();
}

bool CDropArrows::Create(HWND owner, int headerHeight, int dpi)
{
    if (m_hWnd)
        DestroyWindow();
    const DropArrowsShape shape = MakeDropArrowsShape(headerHeight, dpi);
    height_ = shape.height;
    dpi_ = dpi;
    const RECT rc{0, 0, shape.width, height_};
    if (!WindowImpl<CDropArrows>::Create(owner, &rc, nullptr, WS_POPUP | WS_DISABLED,
                                         WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return false;
    POINT points[14];
    for (int i = 0; i < 7; ++i) {
        points[i] = POINT{shape.down[i].x, shape.down[i].y};
        points[7 + i] = POINT{shape.up[i].x, shape.up[i].y};
    }
    const INT counts[2] = {7, 7};
    const HRGN region = ::CreatePolyPolygonRgn(points, counts, 2, WINDING);
    if (region && !::SetWindowRgn(m_hWnd, region, FALSE))
        ::DeleteObject(region);  // the window did not take it
    return true;
}

void CDropArrows::Show(int x, int y)
{
    SetWindowPos(HWND_TOPMOST, x - ScaleForDpi(7, dpi_), y - height_ / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CDropArrows::Hide()
{
    if (IsShown())
        ShowWindow(SW_HIDE);
}

LRESULT CDropArrows::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hWnd, &ps);
    const RECT rc = GetClientRect();
    const HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    ::FillRect(dc, &rc, red);
    ::DeleteObject(red);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

}  // namespace Vorlaq

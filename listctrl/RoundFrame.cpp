#include "listctrl/RoundFrame.h"

namespace Vorlaq {

void RoundFrame(HDC dc, const RECT& rc, int corner, COLORREF pen, COLORREF fill)
{
    const HPEN p = ::CreatePen(PS_SOLID, 1, pen);
    const HBRUSH b = ::CreateSolidBrush(fill);
    const HGDIOBJ oldPen = ::SelectObject(dc, p);
    const HGDIOBJ oldBrush = ::SelectObject(dc, b);
    ::RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, corner, corner);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(p);
    ::DeleteObject(b);
}

}  // namespace Vorlaq

#pragma once
// The rounded frame the list's focus cell and the title tip share.
#include <windows.h>

namespace Vorlaq {

// A rounded rectangle in `rc`: a one-pixel outline in `pen` around `fill`.
void RoundFrame(HDC dc, const RECT& rc, int corner, COLORREF pen, COLORREF fill);

}  // namespace Vorlaq

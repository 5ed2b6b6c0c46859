#pragma once
// Points and rectangles of the list's portable logic (Win32 RECT without windows.h).

namespace Vorlaq {

struct ListPoint {
    int x = 0;
    int y = 0;
};

struct ListRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(ListPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    // The rectangle spanned by two corners in any order.
    static ListRect Spanning(ListPoint a, ListPoint b)
    {
        return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.x < b.x ? b.x : a.x, a.y < b.y ? b.y : a.y};
    }
};

}  // namespace Vorlaq

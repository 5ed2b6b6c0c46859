// Reordering columns by dragging a header item. The drag runs on the list's own mouse capture
// (no OLE modal loop): the dragged item follows the mouse as a drag image, the red arrows mark
// the insertion point, and a release over the header moves the column.
#include <vssym32.h>

#include "listctrl/DropArrows.h"
#include "listctrl/ListEngine.h"
#include "listctrl/TitleTip.h"

namespace Vorlaq {

HBITMAP ListEngine::MakeDragBitmap(int position, int* width, int* height)
{
    const ListColumn* column = columns_.At(position);
    *width = column ? column->width : 0;
    *height = HeaderHeight();
    if (*width <= 0 || *height <= 0)
        return nullptr;
    const HDC screen = ::GetDC(m_hWnd);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, *width, *height);
    if (bitmap) {
        const HDC dc = ::CreateCompatibleDC(screen);
        const HGDIOBJ old = ::SelectObject(dc, bitmap);
        RECT rc{0, 0, *width, *height};
        if (theme_) {
            const HBRUSH back = ::CreateSolidBrush(colours_.background);
            ::FillRect(dc, &rc, back);
            ::DeleteObject(back);
            ::DrawThemeBackground(theme_, dc, HP_HEADERITEM, HIS_PRESSED, &rc, nullptr);
        } else {
            const HBRUSH face = ::CreateSolidBrush(colours_.headerBackground);
            ::FillRect(dc, &rc, face);
            ::DeleteObject(face);
            ::DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
        }
        PaintHeaderItem(dc, position, rc);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
    }
    ::ReleaseDC(m_hWnd, screen);
    return bitmap;
}

void ListEngine::BeginHeaderDrag(POINT pt)
{
    HideTitleTip();
    if (!gesture_.BeginHeaderDrag())
        return;
    int w = 0, h = 0;
    const HBITMAP bitmap = MakeDragBitmap(gesture_.DraggedColumn(), &w, &h);
    if (bitmap) {
        if (dragImage_)
            ImageList_Destroy(dragImage_);
        dragImage_ = ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK, 1, 0);
        if (dragImage_) {
            ImageList_AddMasked(dragImage_, bitmap, colours_.background);
            POINT screen = pt;
            ::ClientToScreen(m_hWnd, &screen);
            // Held at its centre, like the item is picked up where it is.
            ImageList_BeginDrag(dragImage_, 0, w / 2, h / 2);
            ImageList_DragEnter(nullptr, screen.x, screen.y);
        }
        ::DeleteObject(bitmap);
    }
    MoveHeaderDrag(pt);
}

void ListEngine::MoveHeaderDrag(POINT pt)
{
    POINT screen = pt;
    ::ClientToScreen(m_hWnd, &screen);
    const RECT client = GetClientRect();
    const bool overHeader = showHeader_ && pt.y >= 0 && pt.y < HeaderHeight() && pt.x >= 0 && pt.x < client.right;
    const int dragged = gesture_.DraggedColumn();
    gesture_.SetDropPosition(overHeader ? columns_.DropPosition(pt.x + scroll_.HorizontalPos(), dragged) : -1);
    const int drop = gesture_.DropPosition();
    if (dragImage_)
        ImageList_DragShowNolock(FALSE);
    if (drop < 0) {
        dropArrows_->Hide();
    } else {
        const int edge = drop < columns_.Count() ? columns_.Left(drop) : columns_.Right(columns_.Count() - 1);
        POINT at{edge - scroll_.HorizontalPos(), HeaderHeight() / 2};
        ::ClientToScreen(m_hWnd, &at);
        dropArrows_->Show(at.x, at.y);
    }
    if (dragImage_) {
        ImageList_DragMove(screen.x, screen.y);
        ImageList_DragShowNolock(TRUE);
    }
}

void ListEngine::EndHeaderDrag(bool drop)
{
    if (dragImage_) {
        ImageList_DragLeave(nullptr);
        ImageList_EndDrag();
        ImageList_Destroy(dragImage_);
        dragImage_ = nullptr;
    }
    dropArrows_->Hide();
    // The total width does not change with the order: the scroll ranges stay as they are.
    if (drop && gesture_.DraggedColumn() >= 0 && gesture_.DropPosition() >= 0)
        columns_.Move(gesture_.DraggedColumn(), gesture_.DropPosition());
    gesture_.End();
    buttonDown_ = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Invalidate();
}

}  // namespace Vorlaq

#pragma once
// Layout and scroll arithmetic of the list: which row is where, the scroll bars' ranges, where
// line, page, thumb and wheel scrolls go, and what must scroll to bring a row into view.
// Vertical positions are pixels, but drawing always starts with a whole row under the header.
#include "listctrl/ListGeometry.h"

namespace Vorlaq {

// A scroll bar's range: 0..maximum with a page; maximum 0 hides the bar.
struct ScrollRange {
    int maximum = 0;
    int page = 0;
    bool InUse() const { return maximum > 0; }
    // The largest position the bar accepts (the system clamps to maximum - page + 1).
    int LastPosition() const;
};

enum class ScrollCommand { LineUp, LineDown, PageUp, PageDown, Top, Bottom, Thumb };
enum class NavKey { Up, Down, PageUp, PageDown, Home, End };

class ListScroll {
public:
    // Sizes in pixels; headerHeight is 0 while the header is hidden.
    void SetMetrics(int rowHeight, int headerHeight, int clientWidth, int clientHeight);
    void SetContent(int rowCount, int totalWidth);

    int RowHeight() const { return rowHeight_; }
    int HeaderHeight() const { return headerHeight_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    int RowCount() const { return rowCount_; }

    int VerticalPos() const { return vPos_; }
    int HorizontalPos() const { return hPos_; }
    // Sets a position as the bar would take it (clamped to its range).
    void SetVerticalPos(int pos);
    void SetHorizontalPos(int pos);

    ScrollRange VerticalRange() const;
    ScrollRange HorizontalRange() const;

    int TopRow() const { return rowHeight_ > 0 ? vPos_ / rowHeight_ : 0; }
    // Whole rows below the header, at least 1; with `partial` a cut last row counts too.
    int RowsPerPage(bool partial = false) const;
    // Client y of the top of a row.
    int RowTop(int row) const { return headerHeight_ + (row - TopRow()) * rowHeight_; }
    // The row at client y, -1 above the rows or past the last row.
    int RowAt(int y) const;
    bool IsRowFullyVisible(int row) const;

    // New vertical position for a scroll command (trackPos for the thumb), clamped.
    int VerticalTarget(ScrollCommand command, int trackPos = 0) const;
    int HorizontalTarget(ScrollCommand command, int trackPos = 0) const;
    // Wheel: rows = delta * lines / 120, up for a positive delta.
    int WheelTarget(int delta, int wheelLines) const;
    // The position that brings the row into view (unchanged when it is).
    int EnsureVisibleTarget(int row) const;
    // Position that brings a column's [left, right) into view horizontally.
    int EnsureColumnVisibleTarget(int left, int right) const;

    // The focus row after a navigation key, clamped to the rows; -1 for an empty list.
    int NavigateTarget(NavKey key, int focusRow) const;

    // Content coordinates (scrolled: x + horizontal position, y below the header + vertical
    // offset of the top row) of a client point, and back.
    ListPoint ToContent(ListPoint client) const;
    ListPoint ToClient(ListPoint content) const;
    // Rows that a content-space rectangle touches: first..last, first > last when none.
    void RowsInBand(const ListRect& band, int* first, int* last) const;

private:
    int ClampV(int pos) const;
    int ClampH(int pos) const;

    int rowHeight_ = 1;
    int headerHeight_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int rowCount_ = 0;
    int totalWidth_ = 0;
    int vPos_ = 0;
    int hPos_ = 0;
};

// Lines to auto-scroll while a selection rectangle is drawn with the mouse outside the rows:
// -1 up/left, +1 down/right, 0 none.
void AutoScrollDirection(ListPoint mouse, int headerHeight, int clientWidth, int clientHeight, int* dx, int* dy);

// New width of a column being resized.
inline int ResizedWidth(int mouseX, int startWidth, int startX)
{
    const int width = mouseX + startWidth - startX;
    return width < 0 ? 0 : width;
}

}  // namespace Vorlaq

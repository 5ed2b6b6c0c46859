#pragma once
// What a held left button is doing in the list: one gesture at a time, with that gesture's data.
// Each Begin replaces the gesture that was on and forgets its data, so two can never be on
// together; a question about a gesture that is not on gets -1 (or nothing). The mouse-leave
// tracking and the button itself are not gestures and stay with the window.
#include "listctrl/ListGeometry.h"

namespace Vorlaq {

class ListGesture {
public:
    enum class Mode {
        None,
        Resizing,        // a column's right divider follows the mouse
        HeaderPressed,   // a header item is held down: a release sorts, a move drags it
        HeaderDragging,  // the pressed header item moves to a new place
        Banding,         // a selection rectangle spans from the press to the mouse
        DeferredClick,   // a press on a row of a multi-selection, resolved on release
    };

    Mode Current() const { return mode_; }
    bool Is(Mode mode) const { return mode_ == mode; }

    // The column at display position `position`, `startWidth` wide, resized from client x `startX`.
    void BeginResize(int position, int startWidth, int startX);
    void PressHeader(int position);
    // The pressed header item starts to move; false, and nothing changes, when none is pressed.
    bool BeginHeaderDrag();
    void BeginBand();
    void DeferClick(int row, int column);
    void End() { *this = ListGesture(); }

    // Resizing: the column, where it started, and a smaller width that waits for the timer (-1
    // for none); a width set while not resizing is ignored.
    int ResizeColumn() const { return Is(Mode::Resizing) ? column_ : -1; }
    int ResizeStartWidth() const { return Is(Mode::Resizing) ? startWidth_ : 0; }
    int ResizeStartX() const { return Is(Mode::Resizing) ? startX_ : 0; }
    void SetPendingWidth(int width);
    int PendingWidth() const { return Is(Mode::Resizing) ? pendingWidth_ : -1; }

    // The header item held down, while pressed or dragged; the dragged one, and where it would drop
    // (-1 away from the header).
    int PressedColumn() const { return Is(Mode::HeaderPressed) || Is(Mode::HeaderDragging) ? column_ : -1; }
    int DraggedColumn() const { return Is(Mode::HeaderDragging) ? column_ : -1; }
    void SetDropPosition(int position);
    int DropPosition() const { return Is(Mode::HeaderDragging) ? dropPosition_ : -1; }

    // The band in content coordinates; empty while not banding.
    const ListRect& Band() const { return band_; }
    void SetBand(const ListRect& band);

    int DeferredRow() const { return Is(Mode::DeferredClick) ? row_ : -1; }
    int DeferredColumn() const { return Is(Mode::DeferredClick) ? column_ : -1; }

    // Whether the window's timer of this gesture is set (the shrink of a resize, the auto-scroll of
    // a band); always false for the others, so that a timer is never taken for another gesture's.
    bool TimerSet() const { return timerSet_; }
    void SetTimerSet(bool set) { timerSet_ = set && (Is(Mode::Resizing) || Is(Mode::Banding)); }

private:
    Mode mode_ = Mode::None;
    int column_ = -1;
    int row_ = -1;
    int startWidth_ = 0;
    int startX_ = 0;
    int pendingWidth_ = -1;
    int dropPosition_ = -1;
    ListRect band_{};
    bool timerSet_ = false;
};

}  // namespace Vorlaq

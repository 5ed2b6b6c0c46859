// The held button's gesture: one mode at a time, each with its own data, none left over from the
// gesture before.
#include <gtest/gtest.h>

#include <tuple>

#include "listctrl/ListGesture.h"

using Vorlaq::ListGesture;
using Mode = ListGesture::Mode;

namespace {

// Every answer at once, so that a check sees what a gesture leaks into the others' answers:
// mode, resize column, pending width, pressed, dragged, drop, deferred row and column, band's
// right edge, timer.
using Answers = std::tuple<Mode, int, int, int, int, int, int, int, int, bool>;

Answers Ask(const ListGesture& g)
{
    return {g.Current(),     g.ResizeColumn(),  g.PendingWidth(), g.PressedColumn(), g.DraggedColumn(),
            g.DropPosition(), g.DeferredRow(), g.DeferredColumn(), g.Band().right,   g.TimerSet()};
}

const Answers kIdle{Mode::None, -1, -1, -1, -1, -1, -1, -1, 0, false};

}  // namespace

TEST(ListGesture, EachBeginReplacesTheGestureBeforeAndOnlyItsOwnDataAnswers)
{
    ListGesture g;
    // Outside their gestures, the data and the timer are not taken.
    g.SetPendingWidth(40);
    g.SetDropPosition(2);
    g.SetBand({0, 0, 9, 9});
    g.SetTimerSet(true);
    EXPECT_FALSE(g.BeginHeaderDrag());
    EXPECT_EQ(kIdle, Ask(g));

    g.BeginResize(3, 120, 200);
    g.SetPendingWidth(90);
    g.SetTimerSet(true);
    g.SetDropPosition(1);
    EXPECT_FALSE(g.BeginHeaderDrag());  // a resize is not a pressed header item
    EXPECT_EQ(Answers(Mode::Resizing, 3, 90, -1, -1, -1, -1, -1, 0, true), Ask(g));
    EXPECT_EQ(120, g.ResizeStartWidth());
    EXPECT_EQ(200, g.ResizeStartX());

    // A press on a header item ends the resize, its timer and its widths with it.
    g.PressHeader(2);
    g.SetDropPosition(4);  // not dragged yet
    g.SetTimerSet(true);   // no timer of its own
    EXPECT_EQ(Answers(Mode::HeaderPressed, -1, -1, 2, -1, -1, -1, -1, 0, false), Ask(g));
    EXPECT_EQ(0, g.ResizeStartWidth());
    ASSERT_TRUE(g.BeginHeaderDrag());
    g.SetDropPosition(4);
    EXPECT_EQ(Answers(Mode::HeaderDragging, -1, -1, 2, 2, 4, -1, -1, 0, false), Ask(g));

    g.BeginBand();
    g.SetBand({5, 6, 70, 80});
    g.SetTimerSet(true);
    EXPECT_EQ(Answers(Mode::Banding, -1, -1, -1, -1, -1, -1, -1, 70, true), Ask(g));

    g.DeferClick(11, 1);
    EXPECT_EQ(Answers(Mode::DeferredClick, -1, -1, -1, -1, -1, 11, 1, 0, false), Ask(g));
    g.BeginBand();  // the deferred click became a band
    g.SetTimerSet(true);
    g.End();
    EXPECT_EQ(kIdle, Ask(g));
}

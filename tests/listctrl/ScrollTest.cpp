// Layout and scrolling: bar ranges, whole-row positions, line/page/thumb/wheel targets,
// ensure-visible, navigation keys, rubber-band rows and smooth-scroll steps.
#include <gtest/gtest.h>

#include "listctrl/ListScroll.h"
#include "listctrl/SmoothScroll.h"

using namespace Vorlaq;

namespace {

// Rows and header 20 pixels high; 9 whole rows and a half below the header.
ListScroll Make(int rows)
{
    ListScroll s;
    s.SetMetrics(20, 20, 300, 210);
    s.SetContent(rows, 499);
    return s;
}

TEST(ListScroll, BarRangesAndHiddenBars)
{
    ListScroll s = Make(100);
    EXPECT_EQ(s.VerticalRange().maximum, 2020);
    EXPECT_EQ(s.VerticalRange().page, 190);
    EXPECT_EQ(s.HorizontalRange().maximum, 499);
    EXPECT_EQ(s.HorizontalRange().page, 300);

    ListScroll empty = Make(0);
    EXPECT_FALSE(empty.VerticalRange().InUse());
    ListScroll fits = Make(9);  // 9 * 20 + 20 = 200 <= 190 + 20: no bar
    EXPECT_FALSE(fits.VerticalRange().InUse());
    ListScroll justNot = Make(10);
    EXPECT_TRUE(justNot.VerticalRange().InUse());
    s.SetContent(100, 300);
    EXPECT_FALSE(s.HorizontalRange().InUse());
}

TEST(ListScroll, RowsAndPositionsNeverCutTheTopRow)
{
    ListScroll s = Make(100);
    EXPECT_EQ(s.RowsPerPage(), 9);
    EXPECT_EQ(s.RowsPerPage(true), 10);
    s.SetVerticalPos(s.VerticalTarget(ScrollCommand::Thumb, 435));  // not a multiple of 20
    EXPECT_EQ(s.VerticalPos(), 435);
    EXPECT_EQ(s.TopRow(), 21);
    EXPECT_EQ(s.RowTop(21), 20);  // the top row sits right under the header
    EXPECT_EQ(s.RowAt(20), 21);
    EXPECT_EQ(s.RowAt(39), 21);
    EXPECT_EQ(s.RowAt(40), 22);
    EXPECT_EQ(s.RowAt(19), -1);   // header
    s.SetVerticalPos(s.VerticalTarget(ScrollCommand::PageDown));
    EXPECT_EQ(s.VerticalPos(), 625);
    EXPECT_EQ(s.TopRow(), 31);
    s.SetVerticalPos(s.VerticalTarget(ScrollCommand::Bottom));
    EXPECT_EQ(s.VerticalPos(), 2020 - 189);  // as far as the bar goes
    EXPECT_EQ(s.TopRow(), 91);
    EXPECT_TRUE(s.IsRowFullyVisible(99));
    EXPECT_EQ(s.RowAt(209), -1);  // below the last row
    s.SetVerticalPos(s.VerticalTarget(ScrollCommand::LineDown));
    EXPECT_EQ(s.VerticalPos(), 1831);
    s.SetVerticalPos(s.VerticalTarget(ScrollCommand::Top));
    EXPECT_EQ(s.VerticalTarget(ScrollCommand::LineUp), 0);
}

TEST(ListScroll, WheelClampsAtTheTop)
{
    ListScroll s = Make(100);
    EXPECT_EQ(s.WheelTarget(120, 3), 0);
    EXPECT_EQ(s.WheelTarget(-120, 3), 60);
    EXPECT_EQ(s.WheelTarget(-240, 3), 120);
    s.SetVerticalPos(40);
    EXPECT_EQ(s.WheelTarget(120, 3), 0);
    EXPECT_EQ(s.WheelTarget(60, 3), 20);  // half a notch: one row
}

TEST(ListScroll, HorizontalSteps)
{
    ListScroll s = Make(100);
    EXPECT_EQ(s.HorizontalTarget(ScrollCommand::LineDown), 5);
    s.SetHorizontalPos(100);
    EXPECT_EQ(s.HorizontalTarget(ScrollCommand::LineUp), 95);
    EXPECT_EQ(s.HorizontalTarget(ScrollCommand::PageDown), 200);
    EXPECT_EQ(s.HorizontalTarget(ScrollCommand::Bottom), 200);  // 499 - 299
    EXPECT_EQ(s.HorizontalTarget(ScrollCommand::PageUp), 0);
    EXPECT_EQ(s.EnsureColumnVisibleTarget(150, 450), 150);
    EXPECT_EQ(s.EnsureColumnVisibleTarget(350, 450), 150);
    EXPECT_EQ(s.EnsureColumnVisibleTarget(10, 60), 10);
}

TEST(ListScroll, EnsureVisibleAndNavigation)
{
    ListScroll s = Make(100);
    EXPECT_EQ(s.EnsureVisibleTarget(5), 0);
    EXPECT_EQ(s.EnsureVisibleTarget(9), 20);    // the last whole row of the page
    EXPECT_EQ(s.EnsureVisibleTarget(50), 840);
    s.SetVerticalPos(840);
    EXPECT_EQ(s.EnsureVisibleTarget(42), 840);
    EXPECT_EQ(s.EnsureVisibleTarget(10), 200);  // above: becomes the top row
    EXPECT_EQ(s.NavigateTarget(NavKey::Down, 99), 99);
    EXPECT_EQ(s.NavigateTarget(NavKey::Up, 0), 0);
    EXPECT_EQ(s.NavigateTarget(NavKey::Up, -1), 0);
    EXPECT_EQ(s.NavigateTarget(NavKey::PageDown, 10), 18);
    EXPECT_EQ(s.NavigateTarget(NavKey::PageUp, 3), 0);
    EXPECT_EQ(s.NavigateTarget(NavKey::End, 3), 99);
    EXPECT_EQ(Make(0).NavigateTarget(NavKey::Home, 3), -1);
}

TEST(ListScroll, BandRowsAndAutoScroll)
{
    ListScroll s = Make(100);
    s.SetVerticalPos(200);
    const ListPoint a = s.ToContent({10, 25});
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 205);
    EXPECT_EQ(s.ToClient(a).y, 25);
    int first = 0, last = 0;
    s.RowsInBand(ListRect::Spanning({10, 250}, {40, 205}), &first, &last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 12);
    s.RowsInBand({0, 1990, 5, 2100}, &first, &last);
    EXPECT_EQ(first, 99);
    EXPECT_EQ(last, 99);
    s.RowsInBand({0, 2005, 5, 2100}, &first, &last);
    EXPECT_GT(first, last);
    int dx = 0, dy = 0;
    AutoScrollDirection({-3, 10}, 20, 300, 210, &dx, &dy);
    EXPECT_EQ(dx, -1);
    EXPECT_EQ(dy, -1);
    AutoScrollDirection({150, 215}, 20, 300, 210, &dx, &dy);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 1);
    EXPECT_EQ(ResizedWidth(90, 100, 120), 70);
    EXPECT_EQ(ResizedWidth(10, 100, 200), 0);
}

TEST(SmoothScroll, LargeStepsThenSinglePixels)
{
    SmoothScroll s;
    EXPECT_FALSE(s.Start(0, 20));
    ASSERT_TRUE(s.Start(-5, 20));  // five rows up: 100 pixels
    EXPECT_FALSE(s.Downwards());
    EXPECT_EQ(s.Steps(), 5);
    EXPECT_EQ(s.Step(), 19);
    std::vector<int> seen;
    while (s.Running())
        seen.push_back(s.Tick());
    EXPECT_EQ(seen, (std::vector<int>{81, 62, 43, 24, 5, 4, 3, 2, 1, 0}));

    ASSERT_TRUE(s.Start(1, 19));  // one row: four steps of 3 then pixels
    EXPECT_EQ(s.Steps(), 4);
    EXPECT_EQ(s.Step(), 3);
    seen.clear();
    while (s.Running())
        seen.push_back(s.Tick());
    EXPECT_EQ(seen, (std::vector<int>{16, 13, 10, 7, 4, 3, 2, 1, 0}));

    ASSERT_TRUE(s.Start(30, 20));  // a long page: at most 8 steps
    EXPECT_EQ(s.Steps(), 8);
    EXPECT_EQ(s.Step(), 74);
    s.Stop();
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(s.Tick(), 0);
}

}  // namespace

// Columns: identity, widths, header hit testing with the divider rule, drop position and move.
#include <gtest/gtest.h>

#include "listctrl/ListColumns.h"

using namespace Vorlaq;

namespace {

// Widths 60, 100, 100, 40: right edges at 60, 160, 260, 300.
ListColumns FourColumns()
{
    ListColumns c;
    c.Add(L"Index", 60, -1, false, 0, 0, 16);
    c.Add(L"Name", 100, -1, false, 0, 0, 16);
    c.Add(L"Path", 100, -1, false, 0, 0, 16);
    c.Add(L"Type", 40, -1, false, 0, 0, 16);
    return c;
}

TEST(ListColumns, IdentityWidthAndImageOnlyColumns)
{
    ListColumns c = FourColumns();
    EXPECT_EQ(c.TotalWidth(), 299);
    EXPECT_EQ(c.At(2)->index, 2);
    const int pos = c.Add(L"", 200, 3, false, 0, kFlagRight, 16);
    EXPECT_EQ(c.At(pos)->width, 21);
    EXPECT_EQ(c.At(pos)->flags, unsigned{kFlagRight | kFlagCentre});
    EXPECT_EQ(c.TotalWidth(), 320);  // the cache follows an add
    ASSERT_TRUE(c.SetWidth(1, 0));
    EXPECT_EQ(c.TotalWidth(), 220);  // ...and a width change
    EXPECT_FALSE(c.SetWidth(9, 10));
    EXPECT_EQ(c.At(-1), nullptr);
    EXPECT_EQ(c.Left(3), 160);
    EXPECT_EQ(c.Right(3), 200);
}

TEST(ListColumns, HeaderDividerSpansFiveLeftAndFourRightOfTheEdge)
{
    const ListColumns c = FourColumns();
    EXPECT_EQ(c.HitTestHeader(54).divider, false);
    EXPECT_EQ(c.HitTestHeader(54).column, 0);
    for (int x = 55; x <= 64; ++x) {
        const HeaderHit hit = c.HitTestHeader(x);
        EXPECT_TRUE(hit.divider) << x;
        EXPECT_EQ(hit.column, 0) << x;
    }
    EXPECT_EQ(c.HitTestHeader(65).divider, false);
    EXPECT_EQ(c.HitTestHeader(65).column, 1);
    EXPECT_EQ(c.HitTestHeader(303).column, 3);  // right of the last edge: still its divider
    EXPECT_TRUE(c.HitTestHeader(303).divider);
    EXPECT_EQ(c.HitTestHeader(305).column, -1);
    EXPECT_EQ(c.HitTestHeader(0).column, -1);  // on a left edge, not strictly inside
}

TEST(ListColumns, DividerRightOfAnEdgeBelongsToTheLastHiddenColumn)
{
    ListColumns c;
    for (int i = 0; i < 6; ++i)
        c.Add(L"c", 50, -1, false, 0, 0, 16);
    c.SetWidth(1, 0);
    c.SetWidth(2, 0);  // columns 1 and 2 hidden behind column 0's edge at x = 50
    EXPECT_EQ(c.HitTestHeader(47).column, 0);  // left of the edge: column 0 grows
    EXPECT_EQ(c.HitTestHeader(50).column, 2);  // on and right of it: the last hidden one opens
    EXPECT_EQ(c.HitTestHeader(53).column, 2);
    EXPECT_TRUE(c.HitTestHeader(53).divider);
    EXPECT_EQ(c.ColumnAt(60), 3);
    EXPECT_EQ(c.ColumnAt(50), -1);

    // At the second-to-last column the divider stays with it even if the last is hidden.
    ListColumns d;
    for (int i = 0; i < 3; ++i)
        d.Add(L"c", 50, -1, false, 0, 0, 16);
    d.SetWidth(2, 0);
    EXPECT_EQ(d.HitTestHeader(102).column, 1);
}

TEST(ListColumns, DropPositionAndMove)
{
    ListColumns c = FourColumns();
    // Dragging column 1 (x 60..160, centre 110).
    EXPECT_EQ(c.DropPosition(100, 1), -1);   // left half of itself: its own place
    EXPECT_EQ(c.DropPosition(120, 1), -1);   // right half: just right of it, no move either
    EXPECT_EQ(c.DropPosition(200, 1), -1);   // left half of column 2: still just right of it
    EXPECT_EQ(c.DropPosition(215, 1), 3);
    EXPECT_EQ(c.DropPosition(10, 1), 0);
    EXPECT_EQ(c.DropPosition(290, 1), 4);    // right half of the last column
    EXPECT_EQ(c.DropPosition(900, 1), 4);    // past the end

    ASSERT_TRUE(c.Move(1, 3));  // Name goes between Path and Type
    EXPECT_EQ(c.At(0)->title, L"Index");
    EXPECT_EQ(c.At(1)->title, L"Path");
    EXPECT_EQ(c.At(2)->title, L"Name");
    EXPECT_EQ(c.At(2)->index, 1);  // identity travels with it
    EXPECT_EQ(c.PositionOf(1), 2);
    EXPECT_EQ(c.TotalWidth(), 299);
    ASSERT_TRUE(c.Move(3, 0));  // Type to the front
    EXPECT_EQ(c.At(0)->title, L"Type");
    EXPECT_FALSE(c.Move(2, 2));
    EXPECT_FALSE(c.Move(2, 3));
    EXPECT_FALSE(c.Move(0, 9));
}

}  // namespace

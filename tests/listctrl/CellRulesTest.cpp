// Check-box values, title-tip rule, drop-arrow shape and the sort step.
#include <gtest/gtest.h>

#include "listctrl/CellRules.h"
#include "listctrl/ListColumns.h"
#include "listctrl/SortState.h"

using namespace Vorlaq;

namespace {

TEST(CellRules, CheckBoxesToggleAndPickImages)
{
    EXPECT_EQ(ToggledCheckText(kFormatCheckBox, L"0"), L"1");
    EXPECT_EQ(ToggledCheckText(kFormatCheckBox, L"-4"), L"1");
    EXPECT_EQ(ToggledCheckText(kFormatCheckBox, L"1"), L"0");
    EXPECT_EQ(ToggledCheckText(kFormatCheckBox, L"7"), L"0");
    EXPECT_EQ(ToggledCheckText(kFormatTriState, L"0"), L"1");
    EXPECT_EQ(ToggledCheckText(kFormatTriState, L"1"), L"-1");
    EXPECT_EQ(ToggledCheckText(kFormatTriState, L"-1"), L"0");
    EXPECT_EQ(ToggledCheckText(kFormatTriState, L"yes"), L"1");
    EXPECT_EQ(CheckImage(kFormatCheckBox, L"1"), kImageChecked);
    EXPECT_EQ(CheckImage(kFormatCheckBox, L"2"), kImageUnchecked);  // only "1" is checked
    EXPECT_EQ(CheckImage(kFormatTriState, L"3"), kImageCheckedGreen);
    EXPECT_EQ(CheckImage(kFormatTriState, L"-3"), kImageCross);
    EXPECT_EQ(CheckImage(kFormatText, L"1"), -1);
    EXPECT_EQ(CheckValue(L"99999999999999999999"), 1000000000);  // bounded, no overflow
    EXPECT_FALSE(FormatAllowsTitleTip(kFormatProgress));
    EXPECT_TRUE(FormatAllowsTitleTip(kFormatHyperlink));
}

TEST(CellRules, TitleTipOnlyForClippedTextAndPlacedOverTheCell)
{
    const ListRect text{107, 44, 193, 63};  // 86 wide
    const ListRect cell{100, 40, 200, 60};
    ListRect tip;
    EXPECT_FALSE(TitleTipRect(text, cell, 85, 96, &tip));
    ASSERT_TRUE(TitleTipRect(text, cell, 86, 96, &tip));
    EXPECT_EQ(tip.left, 103);
    EXPECT_EQ(tip.top, 40);
    EXPECT_EQ(tip.Width(), 97);
    EXPECT_EQ(tip.Height(), 20);
    // At 144 DPI the margins around the text grow by half.
    ASSERT_TRUE(TitleTipRect(text, cell, 86, 144, &tip));
    EXPECT_EQ(tip.left, 101);
    EXPECT_EQ(tip.Width(), 103);
}

TEST(CellRules, TitleTipStaysOnTheMonitor)
{
    const ListRect work{0, 0, 1280, 1000};
    const ListRect fits{100, 40, 400, 60};
    EXPECT_EQ(KeepTipOnMonitor(fits, work).left, 100);
    EXPECT_EQ(KeepTipOnMonitor(fits, work).right, 400);
    // Past the right edge: moved left, same width, same row.
    const ListRect moved = KeepTipOnMonitor({1100, 40, 1400, 60}, work);
    EXPECT_EQ(moved.left, 980);
    EXPECT_EQ(moved.right, 1280);
    EXPECT_EQ(moved.top, 40);
    // Wider than the monitor (a 752-character path): from its left edge to its right edge.
    const ListRect cut = KeepTipOnMonitor({300, 40, 6000, 60}, work);
    EXPECT_EQ(cut.left, 0);
    EXPECT_EQ(cut.right, 1280);
    // A second monitor to the left of the first.
    const ListRect left = KeepTipOnMonitor({-500, 40, -100, 60}, {-1920, 0, 0, 1080});
    EXPECT_EQ(left.left, -500);
    EXPECT_EQ(left.right, -100);
}

TEST(CellRules, DropArrowsFollowTheHeaderHeight)
{
    const DropArrowsShape shape = MakeDropArrowsShape(22, 96);
    EXPECT_EQ(shape.width, 12);
    EXPECT_EQ(shape.height, 42);
    EXPECT_EQ(shape.up[0].y, 42);
    EXPECT_EQ(shape.up[3].y, 32);
    EXPECT_EQ(shape.down[3].y, 9);
    // At 192 DPI (a header twice as high) every size doubles.
    const DropArrowsShape doubled = MakeDropArrowsShape(44, 192);
    EXPECT_EQ(doubled.width, 24);
    EXPECT_EQ(doubled.height, 84);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(doubled.down[i].x, 2 * shape.down[i].x);
        EXPECT_EQ(doubled.down[i].y, 2 * shape.down[i].y);
        EXPECT_EQ(doubled.up[i].x, 2 * shape.up[i].x);
        EXPECT_EQ(doubled.up[i].y, 2 * shape.up[i].y);
    }
}

TEST(SortState, SameColumnReversesOtherColumnSorts)
{
    SortState s;
    EXPECT_EQ(s.Click(2, true), SortState::Action::None);  // switch off
    s.Enable(true);
    EXPECT_EQ(s.Click(2, false), SortState::Action::None);  // no header
    EXPECT_EQ(s.Column(), -1);
    EXPECT_EQ(s.Click(2, true), SortState::Action::Sort);
    EXPECT_TRUE(s.Direction());
    EXPECT_EQ(s.Click(2, true), SortState::Action::Reverse);
    EXPECT_FALSE(s.Direction());
    EXPECT_EQ(s.Click(2, true), SortState::Action::Reverse);
    EXPECT_TRUE(s.Direction());
    s.Click(2, true);
    EXPECT_EQ(s.Click(4, true), SortState::Action::Sort);
    EXPECT_TRUE(s.Direction());  // a new column always starts with the flag set
    EXPECT_EQ(s.Column(), 4);
}

}  // namespace

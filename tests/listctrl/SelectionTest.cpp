// Selection steps: plain, Shift and Ctrl clicks, with and without anchor, single selection,
// Ctrl+A and the rubber band.
#include <gtest/gtest.h>

#include "listctrl/ListSelection.h"

using namespace Vorlaq;
using Outcome = ListSelection::Outcome;

namespace {

TEST(ListSelection, PlainClickReplacesAndSetsAnchorAndFocus)
{
    ListSelection s;
    EXPECT_EQ(s.SelectItem(10, 0, 0, 10), Outcome::Ignored);
    EXPECT_EQ(s.SelectItem(-1, 0, 0, 10), Outcome::Ignored);
    EXPECT_EQ(s.SelectItem(3, 2, 0, 10), Outcome::Selected);
    EXPECT_EQ(s.Rows(), (std::vector<int>{3}));
    EXPECT_EQ(s.Anchor(), 3);
    EXPECT_EQ(s.FocusRow(), 3);
    EXPECT_EQ(s.FocusColumn(), 2);
    // The only selected row again: kept, focus column follows.
    EXPECT_EQ(s.SelectItem(3, 4, 0, 10), Outcome::Kept);
    EXPECT_EQ(s.FocusColumn(), 4);
    EXPECT_EQ(s.SelectItem(5, 1, 0, 10), Outcome::Selected);
    EXPECT_EQ(s.Rows(), (std::vector<int>{5}));
}

TEST(ListSelection, ShiftSelectsFromAnchorOrFromTheRowAlone)
{
    ListSelection s;
    EXPECT_EQ(s.SelectItem(4, 0, kSelectShift, 10), Outcome::Selected);  // no anchor yet
    EXPECT_EQ(s.Rows(), (std::vector<int>{4}));
    EXPECT_EQ(s.Anchor(), -1);

    s.SelectItem(2, 0, 0, 10);
    EXPECT_EQ(s.SelectItem(6, 3, kSelectShift, 10), Outcome::Selected);
    EXPECT_EQ(s.Rows(), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(s.Anchor(), 2);
    EXPECT_EQ(s.FocusRow(), 6);
    EXPECT_EQ(s.FocusColumn(), -1);  // several rows: no focus column
    s.SelectItem(0, 0, kSelectShift, 10);  // the range turns round the anchor
    EXPECT_EQ(s.Rows(), (std::vector<int>{0, 1, 2}));
}

TEST(ListSelection, ShiftAfterTheRowsWentAwayStopsAtTheLastRow)
{
    ListSelection s;
    s.SelectItem(80, 0, 0, 100);
    s.ClearRows();  // the list was emptied: anchor stays 80
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Anchor(), 80);
    s.SelectItem(7, 0, kSelectShift, 10);
    EXPECT_EQ(s.Rows(), (std::vector<int>{7, 8, 9}));
}

TEST(ListSelection, CtrlTogglesRows)
{
    ListSelection s;
    s.SelectItem(1, 0, 0, 10);
    EXPECT_EQ(s.SelectItem(4, 2, kSelectCtrl, 10), Outcome::Selected);
    EXPECT_EQ(s.Rows(), (std::vector<int>{1, 4}));
    EXPECT_EQ(s.Anchor(), 4);
    EXPECT_EQ(s.FocusColumn(), -1);
    EXPECT_EQ(s.SelectItem(1, 3, kSelectCtrl, 10), Outcome::Removed);
    EXPECT_EQ(s.Rows(), (std::vector<int>{4}));
    EXPECT_EQ(s.Anchor(), 1);
    EXPECT_EQ(s.FocusRow(), 1);
    EXPECT_EQ(s.FocusColumn(), 3);  // at most one row left
    EXPECT_EQ(s.SelectItem(4, 0, kSelectCtrl, 10), Outcome::Removed);
    EXPECT_EQ(s.Count(), 0);
}

TEST(ListSelection, SingleSelectionIgnoresShiftAndCtrlAdds)
{
    ListSelection s;
    s.SetSingleSelection(true);
    s.SelectItem(1, 0, 0, 10);
    s.SelectItem(5, 0, kSelectShift, 10);
    EXPECT_EQ(s.Rows(), (std::vector<int>{5}));
    s.SelectItem(7, 0, kSelectCtrl, 10);
    EXPECT_EQ(s.Rows(), (std::vector<int>{7}));
    EXPECT_FALSE(s.SelectAll(10));
    EXPECT_EQ(s.Count(), 1);
}

TEST(ListSelection, SelectAllBandAndClear)
{
    ListSelection s;
    s.SelectItem(3, 1, 0, 6);
    ASSERT_TRUE(s.SelectAll(6));
    EXPECT_EQ(s.Count(), 6);
    EXPECT_EQ(s.Anchor(), 3);  // Ctrl+A leaves anchor and focus alone
    EXPECT_EQ(s.FocusRow(), 3);
    s.SelectBand(2, 4);
    EXPECT_EQ(s.Rows(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(s.Anchor(), 2);
    EXPECT_EQ(s.FocusRow(), 4);
    EXPECT_EQ(s.FocusColumn(), -1);
    s.SelectBand(5, 4);  // the band touches no row
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Anchor(), -1);
    s.SelectItem(1, 1, 0, 6);
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Anchor(), -1);
    EXPECT_EQ(s.FocusRow(), -1);
    EXPECT_EQ(s.FocusColumn(), -1);
}

}  // namespace

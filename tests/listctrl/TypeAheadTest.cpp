// Type-ahead: the 800 ms rule, repeated letters, longer search texts and wrapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listctrl/TypeAhead.h"

using namespace Vorlaq;

namespace {

const std::vector<std::wstring> kRows = {L"beta", L"Alpha", L"apple", L"Abacus", L"banana", L"avocado"};

int Press(TypeAhead& t, wchar_t letter, uint64_t ms, int focus)
{
    return t.OnLetter(letter, ms, focus, static_cast<int>(kRows.size()),
                      [](int row) { return kRows[static_cast<size_t>(row)]; });
}

TEST(TypeAhead, SameLetterWithin800msStepsThroughMatchesInEitherCase)
{
    TypeAhead t;
    EXPECT_EQ(Press(t, L'A', 1000, -1), 1);   // first key: from the top
    EXPECT_EQ(Press(t, L'A', 1300, 1), 2);    // within 800 ms, same letter: next one
    EXPECT_EQ(Press(t, L'A', 1600, 2), 3);
    EXPECT_EQ(Press(t, L'A', 1900, 3), 5);
    EXPECT_EQ(Press(t, L'A', 2200, 5), 1);    // wraps to the top
    EXPECT_EQ(t.Text(), L"a");
}

TEST(TypeAhead, SecondLetterWithin800msExtendsTheSearch)
{
    TypeAhead t;
    EXPECT_EQ(Press(t, L'A', 0, -1), 1);
    EXPECT_EQ(Press(t, L'V', 799, 1), 5);     // "av", below the focus row
    EXPECT_EQ(t.Text(), L"av");
    EXPECT_EQ(Press(t, L'O', 1500, 5), -1);   // "avo": the focus row matches already: stay
    EXPECT_EQ(t.Text(), L"avo");

    TypeAhead u;
    EXPECT_EQ(Press(u, L'A', 0, 4), 1);       // a new search starts at the top, not the focus
    EXPECT_EQ(Press(u, L'B', 100, 4), 3);     // "ab": from the row after focus 4, wraps to 3
}

TEST(TypeAhead, AfterThePauseTheSameLetterContinuesAndANewLetterRestarts)
{
    TypeAhead t;
    EXPECT_EQ(Press(t, L'A', 0, -1), 1);
    EXPECT_EQ(Press(t, L'A', 800, 1), 2);     // exactly 800 ms: a new search, same letter: next
    EXPECT_EQ(t.Text(), L"a");
    EXPECT_EQ(Press(t, L'B', 5000, 2), 0);    // new letter: from row 0
    EXPECT_EQ(Press(t, L'A', 5900, 0), 1);
    EXPECT_EQ(Press(t, L'Z', 9000, 1), -1);   // nothing starts with z
}

TEST(TypeAhead, EmptyListFindsNothing)
{
    TypeAhead t;
    EXPECT_EQ(t.OnLetter(L'A', 0, -1, 0, [](int) { return std::wstring(L"a"); }), -1);
    EXPECT_TRUE(StartsWithNoCase(L"ABC", L"ab"));
    EXPECT_FALSE(StartsWithNoCase(L"A", L"ab"));
}

}  // namespace

#include <gtest/gtest.h>

#include "app/LinkColour.h"

using Vorlaq::ParseRgbText;
using Vorlaq::RgbColour;

TEST(LinkColour, ThreeDecimalNumbersSeparatedByCommas)
{
    RgbColour c;
    ASSERT_TRUE(ParseRgbText(L"0,0,255", &c));
    EXPECT_EQ(0, c.red);
    EXPECT_EQ(0, c.green);
    EXPECT_EQ(255, c.blue);
    ASSERT_TRUE(ParseRgbText(L" 128, 0 ,128 ", &c));
    EXPECT_EQ(128, c.red);
    EXPECT_EQ(0, c.green);
    EXPECT_EQ(128, c.blue);
}

TEST(LinkColour, AnythingElseLeavesTheColourAlone)
{
    RgbColour c;
    c.red = 7;
    for (const wchar_t* bad : {L"", L"1,2", L"1,2,3,4", L"256,0,0", L"1,,3", L"a,b,c", L"-1,0,0", L"1000,0,0", L"1;2;3"})
        EXPECT_FALSE(ParseRgbText(bad, &c)) << bad;
    EXPECT_EQ(7, c.red);
}

#include <gtest/gtest.h>

#include "base/FileTime.h"

using Vorlaq::CalendarTime;
using Vorlaq::FileTimeToCalendar;

namespace {
uint64_t Ticks(uint64_t days, uint64_t seconds) { return (days * 86400 + seconds) * 10000000ull; }
}

TEST(FileTime, ConvertsLikeFileTimeToSystemTime) {
    CalendarTime t;
    ASSERT_TRUE(FileTimeToCalendar(0, &t));
    EXPECT_EQ(t.year, 1601);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.dayOfWeek, 1);
    // 2024-02-29 13:45:07.5, a leap day.
    uint64_t daysTo2024 = 154497;  // 1601-01-01 .. 2024-01-01
    ASSERT_TRUE(FileTimeToCalendar(Ticks(daysTo2024 + 59, 13 * 3600 + 45 * 60 + 7) + 5000000, &t));
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 13);
    EXPECT_EQ(t.minute, 45);
    EXPECT_EQ(t.second, 7);
    EXPECT_EQ(t.milliseconds, 500);
    ASSERT_TRUE(FileTimeToCalendar(Ticks(daysTo2024 + 365, 0), &t));  // 2024 has 366 days
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 31);
    ASSERT_TRUE(FileTimeToCalendar(Ticks(109266, 0), &t));  // 1900 is not a leap year
    EXPECT_EQ(t.year, 1900);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 1);
}

TEST(FileTime, TopBitSetCannotBeConverted) {
    CalendarTime t;
    EXPECT_FALSE(FileTimeToCalendar(0x8000000000000000ull, &t));
    EXPECT_TRUE(FileTimeToCalendar(0x7FFFFFFFFFFFFFFFull, &t));
    EXPECT_EQ(t.year, 30828);
}

#include <gtest/gtest.h>

#include <cmath>

#include "cli/ProgressLine.h"

using namespace Vorlaq;

TEST(ProgressLine, RateAndTimeLeftFromTheWholeWalk) {
    ProgressLine line(1000000);
    // A quarter walked in 2 s: 125000 records/s, 750000 left -> 6 s.
    EXPECT_EQ(line.Text(25.0, 2.0, 42), L"  25.0%   125000 records/s   42 files found   0:06 left");
    EXPECT_EQ(line.Text(1.0, 100.0, 0), L"   1.0%   100 records/s   0 files found   2:45:00 left");
}

TEST(ProgressLine, NoEstimateTooEarly) {
    ProgressLine line(1000000);
    EXPECT_EQ(line.Text(50.0, 0.5, 7), L"  50.0%   - records/s   7 files found   --:-- left");
    EXPECT_EQ(line.Text(0.0, 30.0, 0), L"   0.0%   - records/s   0 files found   --:-- left");
    ProgressLine empty(0);
    EXPECT_EQ(empty.Text(0.0, 5.0, 0), L"   0.0%   - records/s   0 files found   --:-- left");
}

TEST(ProgressLine, NearlyDoneIsNotShownAsDone) {
    ProgressLine line(100000);
    EXPECT_EQ(line.Text(99.99, 10.0, 5), L"  99.9%   9999 records/s   5 files found   0:00 left");
}

TEST(ProgressLine, OutOfRangeProgressIsClamped) {
    ProgressLine line(100);
    EXPECT_EQ(line.Text(-3.0, 5.0, 1), L"   0.0%   - records/s   1 files found   --:-- left");
    EXPECT_EQ(line.Text(250.0, 5.0, 1), L" 100.0%   20 records/s   1 files found   0:00 left");
    EXPECT_EQ(line.Text(std::nan(""), 5.0, 1), L"   0.0%   - records/s   1 files found   --:-- left");
}

TEST(ProgressLine, Durations) {
    EXPECT_EQ(ProgressLine::DurationText(0), L"0:00");
    EXPECT_EQ(ProgressLine::DurationText(59.6), L"1:00");
    EXPECT_EQ(ProgressLine::DurationText(3599.4), L"59:59");
    EXPECT_EQ(ProgressLine::DurationText(3600), L"1:00:00");
    EXPECT_EQ(ProgressLine::DurationText(-5), L"0:00");
    EXPECT_EQ(ProgressLine::DurationText(1e300), L"--:--");
    EXPECT_EQ(ProgressLine::DurationText(std::nan("")), L"--:--");
}

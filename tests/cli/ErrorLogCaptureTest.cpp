#include <gtest/gtest.h>

#include <thread>

#include "cli/Console.h"

using namespace Vorlaq;

namespace {
std::wstring Line(const wchar_t* level, const std::wstring& text) { return level + (L"\t" + text + L"\r\n"); }
}  // namespace

TEST(ErrorLogCapture, KeepsOnlyErrorsWithoutTheirLevelWord) {
    ErrorLogCapture capture(1);
    EXPECT_FALSE(capture.write(Line(L"Info: ", L"Total File Records: 64")));
    EXPECT_TRUE(capture.write(Line(L"ERROR: ", L"Not a NTFS file system. ")));
    EXPECT_FALSE(capture.write(Line(L"Warning: ", L"w")));
    EXPECT_EQ(capture.Take(), std::vector<std::wstring>{L"Not a NTFS file system. "});
    EXPECT_TRUE(capture.Take().empty());
}

TEST(ErrorLogCapture, ARestoreTakesItsOwnReasonsNotTheWalks) {
    ErrorLogCapture capture(1);
    capture.write(Line(L"ERROR: ", L"mine 1"));
    std::thread walker([&] { capture.write(Line(L"ERROR: ", L"walk")); });
    walker.join();
    capture.write(Line(L"ERROR: ", L"mine 2"));
    EXPECT_EQ(capture.TakeOwn(), (std::vector<std::wstring>{L"mine 1", L"mine 2"}));
    EXPECT_TRUE(capture.TakeOwn().empty());
    EXPECT_EQ(capture.Take(), std::vector<std::wstring>{L"walk"});  // still there for a failed scan
}

TEST(ErrorLogCapture, ADamagedVolumeKeepsTheLatestSixteen) {
    ErrorLogCapture capture(1);
    for (int i = 0; i < 1000; ++i) capture.write(Line(L"ERROR: ", std::to_wstring(i)));
    std::vector<std::wstring> lines = capture.Take();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines.front(), L"984");
    EXPECT_EQ(lines.back(), L"999");
}

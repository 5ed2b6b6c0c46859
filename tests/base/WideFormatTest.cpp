#include <gtest/gtest.h>

#include "base/WideFormat.h"

using Vorlaq::FormatWide;

TEST(WideFormat, WindowsDirectivesGiveTheSameTextEverywhere) {
    EXPECT_EQ(FormatWide(L"Failed to read file record: %I64u. ", uint64_t{18446744073709551615ull}),
              L"Failed to read file record: 18446744073709551615. ");
    EXPECT_EQ(FormatWide(L"Invalid Attribute Type: 0x%04X. ", 0x210u), L"Invalid Attribute Type: 0x0210. ");
    EXPECT_EQ(FormatWide(L"Failed to open volume: %c. ", L'D'), L"Failed to open volume: D. ");
    EXPECT_EQ(FormatWide(L"NTFS volume version is: %u.%u. ", 3u, 1u), L"NTFS volume version is: 3.1. ");
    EXPECT_EQ(FormatWide(L"%.2f KB", 1.5), L"1.50 KB");
    EXPECT_EQ(FormatWide(L"%04d-%02d-%02d %02d:%02d", 1601, 1, 1, 0, 0), L"1601-01-01 00:00");
    EXPECT_EQ(FormatWide(L"100%% %s", std::wstring(L"done")), L"100% done");
    EXPECT_EQ(FormatWide(L"%d Bytes", -5), L"-5 Bytes");
}

TEST(WideFormat, WideStringArgumentsKeepNonAsciiText) {
    EXPECT_EQ(FormatWide(L"File restored: %s.", L"C:\\Отчёт\\файл.txt"), L"File restored: C:\\Отчёт\\файл.txt.");
    EXPECT_EQ(FormatWide(L"[%5s|%-4s|%.2s]", L"ab", L"c", L"xyz"), L"[   ab|c   |xy]");
}

TEST(WideFormat, WrongOrMissingArgumentsNeverCrash) {
    EXPECT_EQ(FormatWide(L"%s", 42), L"(?)");
    EXPECT_EQ(FormatWide(L"%d", L"text"), L"(?)");
    EXPECT_EQ(FormatWide(L"a %d b %s"), L"a (missing) b (missing)");
    EXPECT_EQ(FormatWide(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
    EXPECT_EQ(FormatWide(L"trailing %"), L"trailing ");
    // A huge width is clamped rather than allocated.
    EXPECT_LE(FormatWide(L"%999999999d", 1).size(), 4097u);
}

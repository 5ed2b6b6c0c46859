#include <gtest/gtest.h>

#include "base/Utf16.h"

using namespace Vorlaq;

TEST(Utf16, DecodesSurrogatePairsAndKeepsLoneOnes) {
    const uint8_t bytes[] = {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0x42, 0x00};  // A 😀 <lone> B
    std::wstring text = DecodeUtf16Le(bytes, 5);
    EXPECT_EQ(Utf16Length(text), 5u);
    EXPECT_EQ(ToUtf16(text), std::u16string(u"A\xD83D\xDE00\xD800" u"B"));
    EXPECT_EQ(WideToUtf8(DecodeUtf16Le(bytes, 3)), "A\xF0\x9F\x98\x80");
    // A pair anywhere in a longer name, across the steps of eight units, and a lone one at its end.
    for (size_t at = 0; at + 2 < 24; ++at) {
        std::u16string units(24, u'\u00E9');
        units[at] = 0xD83D;
        units[at + 1] = 0xDE00;
        units[23] = 0xDC01;
        text = DecodeUtf16Le(reinterpret_cast<const uint8_t*>(units.data()), units.size());
        EXPECT_EQ(ToUtf16(text), units) << at;
        std::string utf8;
        for (size_t i = 0; i < 23; ++i) utf8 += i == at ? "\xF0\x9F\x98\x80" : i == at + 1 ? "" : "\xC3\xA9";
        EXPECT_EQ(WideToUtf8(text), utf8 + "\xEF\xBF\xBD") << at;  // the pair one character
    }
}

TEST(Utf16, ComparesByCodeUnitNotCodePoint) {
    std::wstring emoji = DecodeUtf16Le(reinterpret_cast<const uint8_t*>("\x3D\xD8\x00\xDE"), 2);
    std::wstring privateUse(1, static_cast<wchar_t>(0xF000));
    // As UTF-16 units 0xD83D < 0xF000, although the code point U+1F600 is greater.
    EXPECT_LT(CompareUtf16(emoji, privateUse), 0);
    EXPECT_LT(CompareUtf16(L"ab", L"abc"), 0);
    EXPECT_GT(CompareUtf16(L"a", L"B"), 0);
    EXPECT_EQ(CompareUtf16(L"same", L"same"), 0);
}

TEST(Utf16, Utf8RoundTripAndFolding) {
    std::wstring text = Utf8ToWide("Отчёт \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(text), "Отчёт \xE2\x82\xAC \xF0\x9F\x98\x80");
    // ASCII runs longer than eight, broken inside an eight by another character, ending short
    EXPECT_EQ(WideToUtf8(L"\\dir\\photos 2024\\caf\u00e9 and bar.jpeg"), "\\dir\\photos 2024\\caf\xC3\xA9 and bar.jpeg");
    EXPECT_EQ(Utf8ToWide("\xFF" "a\xC3"), std::wstring(L"\xFFFD" L"a\xFFFD"));
    EXPECT_EQ(FoldAsciiLower(L"ARCHIVE.Tar.GZ Ä"), L"archive.tar.gz Ä");
}

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "base/Utf16.h"
#include "cli/FieldText.h"

using namespace Vorlaq;

namespace {
std::wstring Json(std::wstring_view text) {
    std::wstring out = L"x";  // appends, never replaces
    AppendJsonString(out, text);
    return out.substr(1);
}

std::optional<std::wstring> Iso(uint64_t filetime, int64_t offset) {
    std::wstring out;
    if (!IsoTimeText(offset).Append(out, filetime)) {
        EXPECT_TRUE(out.empty());
        return std::nullopt;
    }
    return out;
}
}  // namespace

TEST(FieldText, ControlCharactersCannotBreakARow) {
    EXPECT_EQ(EscapeControls(L"plain name.txt"), L"plain name.txt");
    EXPECT_EQ(EscapeControls(L"a\tb\nc\rd"), L"a\\tb\\nc\\rd");
    EXPECT_EQ(EscapeControls(std::wstring(L"x\x01y\x1Fz\x7F\x00", 7)), L"x\\x01y\\x1Fz\\x7F\\x00");
    EXPECT_EQ(EscapeControls(L"\\dir\\caf\u00e9\\"), L"\\dir\\caf\u00e9\\");  // separators stay as they are
    std::wstring row = L"64\t";
    AppendEscapedControls(row, L"a\tb");
    EXPECT_EQ(row, L"64\ta\\tb");
}

// Escapes are written between runs of plain text: every character, alone, doubled, at either
// end and between plain ones, comes out as its own rule says.
TEST(FieldText, EscapesAtEveryPlaceInARun) {
    auto hex = [](uint32_t u, int digits) {
        std::wstring out;
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += L"0123456789ABCDEF"[(u >> shift) & 0xF];
        return out;
    };
    auto control = [&](uint32_t u) -> std::optional<std::wstring> {
        if (u == L'\t') return L"\\t";
        if (u == L'\n') return L"\\n";
        if (u == L'\r') return L"\\r";
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) return L"\\x" + hex(u, 2);
        return std::nullopt;
    };
    std::vector<uint32_t> chars;
    for (uint32_t u = 0; u <= 0xA0; ++u) chars.push_back(u);
    for (uint32_t u : {0x00E9u, 0x2028u, 0x2029u, 0x202Au, 0x202Eu, 0x202Fu, 0x2065u, 0x2066u, 0x2069u, 0x206Au})
        chars.push_back(u);
    for (uint32_t u : chars) {
        const std::wstring c(1, static_cast<wchar_t>(u));
        const bool bidi = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        const std::wstring terminal = control(u) ? *control(u) : bidi ? L"\\u{" + hex(u, 4) + L"}" : c;
        const std::wstring tsv = u == L'\\' ? L"\\\\" : control(u) ? *control(u) : c;
        const std::wstring text = c + L"ab" + c + c + L"d" + c;
        std::wstring row = L"=";
        AppendEscapedControls(row, text);
        EXPECT_EQ(row, L"=" + terminal + L"ab" + terminal + terminal + L"d" + terminal) << u;
        row = L"=";
        AppendTsvField(row, text);
        EXPECT_EQ(row, L"=" + tsv + L"ab" + tsv + tsv + L"d" + tsv) << u;
        std::string bytes = "=";
        AppendTsvField(bytes, text);
        EXPECT_EQ(bytes, WideToUtf8(row)) << u;  // the UTF-8 form says the same
    }
}

TEST(FieldText, JsonStrings) {
    EXPECT_EQ(Json(L""), L"\"\"");
    EXPECT_EQ(Json(L"\\Docs\\a \"b\".txt"), L"\"\\\\Docs\\\\a \\\"b\\\".txt\"");
    EXPECT_EQ(Json(L"\b\f\n\r\t"), L"\"\\b\\f\\n\\r\\t\"");
    EXPECT_EQ(Json(std::wstring(L"\x00\x01\x1F\x7F", 4)), L"\"\\u0000\\u0001\\u001F\\u007F\"");
    EXPECT_EQ(Json(L"\u00e9\u4e2d"), L"\"\u00e9\u4e2d\"");
    // A character outside the BMP stays whole (one unit on Linux, a surrogate pair on Windows).
    std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    EXPECT_EQ(Json(emoji), L"\"" + emoji + L"\"");
    // NTFS names are UTF-16 without a validity check: a lone surrogate survives as its escape.
    EXPECT_EQ(Json(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), L"\"\\uD800x\"");
    EXPECT_EQ(Json(L"x" + std::wstring(1, static_cast<wchar_t>(0xDC01))), L"\"x\\uDC01\"");
}

TEST(FieldText, TsvKeepsLoneSurrogatesAndPairs) {
    const std::wstring high(1, static_cast<wchar_t>(0xD800)), low(1, static_cast<wchar_t>(0xDC01));
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");  // a pair on Windows, one unit on Linux
    std::wstring row;
    AppendTsvField(row, high + L"x" + low + emoji + low + high);
    EXPECT_EQ(row, L"\\u{D800}x\\u{DC01}" + emoji + L"\\u{DC01}\\u{D800}");
    std::string bytes;
    AppendTsvField(bytes, high + L"x" + low + emoji + low + high);
    EXPECT_EQ(bytes, WideToUtf8(row));
    // Long fields go out a roomful at a time: nothing is lost or doubled at the seams.
    std::wstring longField;
    for (int i = 0; i < 3000; ++i) longField += (i % 7 == 0) ? L"\\" : (i % 11 == 0) ? emoji : L"\u00e9a";
    row.clear();
    bytes.clear();
    AppendTsvField(row, longField);
    AppendTsvField(bytes, longField);
    EXPECT_EQ(bytes, WideToUtf8(row));
    EXPECT_EQ(Utf8ToWide(WideToUtf8(longField)), longField);
    // Every other character of the Basic Multilingual Plane is kept, in its one to three bytes.
    std::wstring plane;
    for (uint32_t u = 0xA0; u < 0x10000; ++u)
        if (u < 0xD800 || u > 0xDFFF) plane += static_cast<wchar_t>(u);
    bytes.clear();
    AppendTsvField(bytes, plane);
    EXPECT_EQ(bytes, WideToUtf8(plane));
}

TEST(FieldText, Decimals) {
    for (uint64_t v : {0ull, 7ull, 10ull, 4294967296ull, 18446744073709551615ull}) {
        std::wstring out = L"=";
        AppendDecimal(out, v);
        EXPECT_EQ(out, L"=" + std::to_wstring(v));
        std::string bytes = "=";
        AppendDecimal(bytes, v);
        EXPECT_EQ(bytes, "=" + std::to_string(v));
    }
}

TEST(FieldText, IsoTimes) {
    const uint64_t utc = 133590404960000000ull;  // 2024-05-01 12:34:56 UTC
    const uint64_t second = 10000000ull;
    EXPECT_EQ(Iso(utc, 0), std::optional<std::wstring>(L"2024-05-01T12:34:56+00:00"));
    // Times come in UTC; the printer shows them at its offset.
    EXPECT_EQ(Iso(utc, 7200), std::optional<std::wstring>(L"2024-05-01T14:34:56+02:00"));
    EXPECT_EQ(Iso(utc, -16200), std::optional<std::wstring>(L"2024-05-01T08:04:56-04:30"));
    EXPECT_FALSE(Iso(second, -3600));  // before 1601 once shifted
    EXPECT_EQ(Iso(utc + second - 1, 0), std::optional<std::wstring>(L"2024-05-01T12:34:56+00:00"));
    EXPECT_EQ(Iso(1, 0), std::optional<std::wstring>(L"1601-01-01T00:00:00+00:00"));
    EXPECT_FALSE(Iso(0, 0));                      // no $STANDARD_INFORMATION
    EXPECT_FALSE(Iso(0x8000000000000000ull, 0));  // not convertible
    EXPECT_FALSE(Iso(0x7FFFFFFFFFFFFFFFull, 0));  // year 30828: no four-digit year
    // One writer keeps the date of the last day it wrote: a time on another day, or after a
    // stamp it could not write, gets its own date.
    IsoTimeText times(0);
    std::wstring row;
    const std::initializer_list<uint64_t> stamps = {utc, utc + 3600 * second, 0, utc + 86400 * second,
                                                    0x7FFFFFFFFFFFFFFFull, utc - 1};
    std::string bytes;
    for (uint64_t stamp : stamps) {
        if (!times.Append(row, stamp)) row += L'-';
        if (!times.Append(bytes, stamp)) bytes += '-';
    }
    EXPECT_EQ(bytes, WideToUtf8(row));
    EXPECT_EQ(row, L"2024-05-01T12:34:56+00:002024-05-01T13:34:56+00:00-2024-05-02T12:34:56+00:00-"
                   L"2024-05-01T12:34:55+00:00");
}

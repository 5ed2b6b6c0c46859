#include <gtest/gtest.h>

#include <optional>

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
    if (!AppendIsoTime(out, filetime, offset)) {
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

TEST(FieldText, Decimals) {
    for (uint64_t v : {0ull, 7ull, 10ull, 4294967296ull, 18446744073709551615ull}) {
        std::wstring out = L"=";
        AppendDecimal(out, v);
        EXPECT_EQ(out, L"=" + std::to_wstring(v));
    }
}

TEST(FieldText, IsoTimes) {
    const uint64_t utc = 133590404960000000ull;  // 2024-05-01 12:34:56 UTC
    const uint64_t second = 10000000ull;
    EXPECT_EQ(Iso(utc, 0), std::optional<std::wstring>(L"2024-05-01T12:34:56+00:00"));
    EXPECT_EQ(Iso(utc + 7200 * second, 7200), std::optional<std::wstring>(L"2024-05-01T14:34:56+02:00"));
    EXPECT_EQ(Iso(utc - 16200 * second, -16200), std::optional<std::wstring>(L"2024-05-01T08:04:56-04:30"));
    EXPECT_EQ(Iso(utc + second - 1, 0), std::optional<std::wstring>(L"2024-05-01T12:34:56+00:00"));
    EXPECT_EQ(Iso(1, 0), std::optional<std::wstring>(L"1601-01-01T00:00:00+00:00"));
    EXPECT_FALSE(Iso(0, 0));                      // no $STANDARD_INFORMATION
    EXPECT_FALSE(Iso(0x8000000000000000ull, 0));  // not convertible
    EXPECT_FALSE(Iso(0x7FFFFFFFFFFFFFFFull, 0));  // year 30828: no four-digit year
}

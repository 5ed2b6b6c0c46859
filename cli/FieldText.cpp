#include "cli/FieldText.h"

#include <iterator>

#include "base/FileTime.h"
#include "base/os/Time.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint64_t kSecondsPerDay = 86400;
constexpr wchar_t kHex[] = L"0123456789ABCDEF";

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendHex(std::wstring& out, uint32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

// `value` in exactly `digits` decimal digits at `at`, zeros in front.
void PutDigits(char* at, uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

template <typename Text>
void AppendDecimalTo(Text& out, uint64_t value) {
    typename Text::value_type digits[20];  // 2^64 has 20 digits
    auto* const end = std::end(digits);
    auto* first = end;
    do {
        *--first = static_cast<typename Text::value_type>('0' + value % 10);
        value /= 10;
    } while (value);
    out.append(first, static_cast<size_t>(end - first));
}

bool IsControl(uint32_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }
bool IsBidiControl(uint32_t u) { return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069); }

// A control character as its C escape.
void AppendControlEscape(std::wstring& out, wchar_t c) {
    if (c == L'\t') out += L"\\t";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\r') out += L"\\r";
    else {
        out += L"\\x";
        AppendHex(out, static_cast<uint32_t>(c), 2);
    }
}

// Names and paths seldom hold a character that needs escaping: the text between two such goes
// out in one piece, each one found by `plain` being false.
template <typename Plain, typename Escape>
void AppendInPieces(std::wstring& out, std::wstring_view text, Plain plain, Escape escape) {
    size_t begin = 0;
    while (true) {
        size_t end = begin;
        while (end < text.size() && plain(static_cast<uint32_t>(text[end]))) ++end;
        out.append(text.data() + begin, end - begin);
        if (end == text.size()) return;
        escape(text[end]);
        begin = end + 1;
    }
}

}  // namespace

void AppendEscapedControls(std::wstring& out, std::wstring_view text) {
    AppendInPieces(
        out, text, [](uint32_t u) { return !IsControl(u) && !IsBidiControl(u); },
        [&out](wchar_t c) {
            if (IsControl(static_cast<uint32_t>(c))) {
                AppendControlEscape(out, c);
            } else {
                out += L"\\u{";
                AppendHex(out, static_cast<uint32_t>(c), 4);
                out += L'}';
            }
        });
}

std::wstring EscapeControls(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    AppendEscapedControls(out, text);
    return out;
}

void AppendJsonString(std::wstring& out, std::wstring_view text) {
    out += L'"';
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        uint32_t u = static_cast<uint32_t>(c);
        switch (c) {
        case L'"': out += L"\\\""; continue;
        case L'\\': out += L"\\\\"; continue;
        case L'\b': out += L"\\b"; continue;
        case L'\f': out += L"\\f"; continue;
        case L'\n': out += L"\\n"; continue;
        case L'\r': out += L"\\r"; continue;
        case L'\t': out += L"\\t"; continue;
        default: break;
        }
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
            out += c;  // a proper pair (UTF-16 wide strings): kept whole
            out += text[++i];
        } else if (u < 0x20 || u == 0x7F || IsHighSurrogate(u) || IsLowSurrogate(u)) {
            out += L"\\u";
            AppendHex(out, u, 4);
        } else {
            out += c;
        }
    }
    out += L'"';
}

void AppendDecimal(std::wstring& out, uint64_t value) { AppendDecimalTo(out, value); }
void AppendDecimal(std::string& out, uint64_t value) { AppendDecimalTo(out, value); }

IsoTimeText::IsoTimeText(int64_t utcOffsetSeconds) : offsetTicks_(utcOffsetSeconds * int64_t{10000000}) {
    uint64_t minutes = static_cast<uint64_t>(utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds) / 60;
    text_[19] = utcOffsetSeconds < 0 ? '-' : '+';
    PutDigits(text_ + 20, static_cast<uint32_t>(minutes / 60 % 100), 2);
    PutDigits(text_ + 23, static_cast<uint32_t>(minutes % 60), 2);
}

bool IsoTimeText::Append(std::wstring& out, uint64_t utcFiletime) {
    if (!Format(utcFiletime)) return false;
    out.append(std::begin(text_), std::end(text_) - 1);
    return true;
}

bool IsoTimeText::Append(std::string& out, uint64_t utcFiletime) {
    if (!Format(utcFiletime)) return false;
    out.append(text_, std::size(text_) - 1);
    return true;
}

bool IsoTimeText::Format(uint64_t utcFiletime) {
    if (utcFiletime == 0) return false;
    const int64_t shift = offsetTicks_;
    if (shift < 0 ? utcFiletime < static_cast<uint64_t>(-shift) : utcFiletime > UINT64_MAX - static_cast<uint64_t>(shift))
        return false;
    const uint64_t localFiletime = utcFiletime + static_cast<uint64_t>(shift);
    const uint64_t seconds = localFiletime / kTicksPerSecond;
    const uint64_t day = seconds / kSecondsPerDay;
    if (day != day_) {
        CalendarTime t;
        day_ = day;
        dayWritable_ = FileTimeToCalendar(localFiletime, &t) && t.year <= 9999;
        if (dayWritable_) {
            PutDigits(text_, static_cast<uint32_t>(t.year), 4);
            PutDigits(text_ + 5, static_cast<uint32_t>(t.month), 2);
            PutDigits(text_ + 8, static_cast<uint32_t>(t.day), 2);
        }
    }
    if (!dayWritable_) return false;
    const uint32_t time = static_cast<uint32_t>(seconds % kSecondsPerDay);
    PutDigits(text_ + 11, time / 3600, 2);
    PutDigits(text_ + 14, time / 60 % 60, 2);
    PutDigits(text_ + 17, time % 60, 2);
    return true;
}

int64_t LocalUtcOffsetSeconds() {
    // The offset in force now, whatever a stamp's date: one listing, one offset.
    const uint64_t probe = 133000000000000000ull;  // a date in 2022
    uint64_t local = 0;
    if (!FileTimeToLocal(probe, &local)) return 0;
    return (static_cast<int64_t>(local) - static_cast<int64_t>(probe)) / static_cast<int64_t>(kTicksPerSecond);
}

}  // namespace Vorlaq

#include "cli/FieldText.h"

#include "base/FileTime.h"
#include "base/WideFormat.h"
#include "base/os/Time.h"

namespace Vorlaq {

namespace {
constexpr uint64_t kTicksPerSecond = 10000000ull;

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

std::wstring EscapeControls(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'\t') out += L"\\t";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (static_cast<uint32_t>(c) < 0x20 || c == 0x7F) out += FormatWide(L"\\x%02X", static_cast<uint32_t>(c));
        else out += c;
    }
    return out;
}

std::wstring JsonString(std::wstring_view text) {
    std::wstring out = L"\"";
    out.reserve(text.size() + 2);
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
            out += FormatWide(L"\\u%04X", u);
        } else {
            out += c;
        }
    }
    out += L'"';
    return out;
}

std::optional<std::wstring> IsoTime(uint64_t localFiletime, int64_t utcOffsetSeconds) {
    CalendarTime t;
    if (localFiletime == 0 || !FileTimeToCalendar(localFiletime, &t)) return std::nullopt;
    int64_t minutes = (utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds) / 60;
    return FormatWide(L"%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, utcOffsetSeconds < 0 ? L'-' : L'+', minutes / 60, minutes % 60);
}

int64_t LocalUtcOffsetSeconds() {
    // The reader converts with the offset in force now, whatever the stamp's date; so does this.
    const uint64_t probe = 133000000000000000ull;  // a date in 2022
    uint64_t local = 0;
    if (!FileTimeToLocal(probe, &local)) return 0;
    return (static_cast<int64_t>(local) - static_cast<int64_t>(probe)) / static_cast<int64_t>(kTicksPerSecond);
}

}  // namespace Vorlaq

#pragma once
// How names, paths, numbers and times appear in quorret-cli's outputs. The Append forms write
// straight into a row being built: a scan prints hundreds of thousands of rows.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/TsvField.h"

namespace Vorlaq {

// A name, path or label for a terminal, on one line and unable to steer it: tab, line breaks and
// the other C0 and C1 control characters become C escapes (\t, \n, \r, \x1B, \x9B), and the
// bidirectional overrides and isolates (U+202A to U+202E, U+2066 to U+2069), which would
// reorder what follows them, become \u{202E}. Backslashes stay as they are: the text is for
// reading, not decoding.
void AppendEscapedControls(std::wstring& out, std::wstring_view text);
std::wstring EscapeControls(std::wstring_view text);

// A JSON string, quotes included: ", \ and control characters escaped; a lone UTF-16 surrogate,
// which UTF-8 cannot carry, as its \uXXXX escape.
void AppendJsonString(std::wstring& out, std::wstring_view text);

void AppendDecimal(std::wstring& out, uint64_t value);
void AppendDecimal(std::string& out, uint64_t value);

// UTC FILETIMEs as local ISO 8601 times with their UTC offset ("2024-05-01T14:03:59+02:00").
// Append is false, with nothing appended, for 0 (no times recorded), a time that the offset
// turns before 1601 or past the top bit, or a date past the year 9999. The stamps of a listing
// come in runs from the same day: the date part is worked out once for each day met in a row.
class IsoTimeText {
public:
    explicit IsoTimeText(int64_t utcOffsetSeconds);
    bool Append(std::wstring& out, uint64_t utcFiletime);
    bool Append(std::string& out, uint64_t utcFiletime);

private:
    // Writes the time into text_; false when it cannot be shown.
    bool Format(uint64_t utcFiletime);

    char text_[26] = "0000-00-00T00:00:00+00:00";
    int64_t offsetTicks_;
    uint64_t day_ = ~0ull;  // the day whose date text_ holds; none yet
    bool dayWritable_ = false;
};

// The offset between UTC and local time now, in seconds: every time of a listing is shown with it.
int64_t LocalUtcOffsetSeconds();

}  // namespace Vorlaq

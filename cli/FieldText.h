#pragma once
// How names, paths and times appear in quorret-cli's outputs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Vorlaq {

// A name or path on one line: tab, line breaks and other control characters become C escapes
// (\t, \n, \r, \xHH), so a row can never be split by what a volume stores.
std::wstring EscapeControls(std::wstring_view text);

// A JSON string, quotes included: ", \ and control characters escaped; a lone UTF-16 surrogate,
// which UTF-8 cannot carry, as its \uXXXX escape.
std::wstring JsonString(std::wstring_view text);

// A local FILETIME as ISO 8601 with the UTC offset that turned it into local time
// ("2024-05-01T14:03:59+02:00"); nothing for 0 (no times recorded) or a value past year 30827.
std::optional<std::wstring> IsoTime(uint64_t localFiletime, int64_t utcOffsetSeconds);

// The offset between UTC and the local times the reader hands out, in seconds.
int64_t LocalUtcOffsetSeconds();

}  // namespace Vorlaq

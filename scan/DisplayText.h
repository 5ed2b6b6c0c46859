#pragma once
// The texts the found-files list shows for numbers, sizes and times.
#include <cstdint>
#include <string>

namespace Vorlaq {

std::wstring FormatUInt64(uint64_t value);
// "0", "%d Bytes" below 1 KiB, then "%.2f KB", "%.2f MB" and "%.2f GB" (no larger unit).
std::wstring FormatFileSize(uint64_t bytes);
// "YYYY-MM-DD hh:mm" of a FILETIME taken as it is (already local); zeros when not convertible.
std::wstring FormatFileTime(uint64_t filetime);

}  // namespace Vorlaq

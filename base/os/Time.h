#pragma once
#include <cstdint>

namespace Vorlaq {

// FileTimeToLocalFileTime: UTC FILETIME to local FILETIME with the current offset from UTC.
bool FileTimeToLocal(uint64_t utc, uint64_t* local);

}  // namespace Vorlaq

#pragma once
#include <cstdint>

namespace Vorlaq {

// FileTimeToLocalFileTime: UTC FILETIME to local FILETIME with the current offset from UTC.
bool FileTimeToLocal(uint64_t utc, uint64_t* local);
// The same as a value: the local time, or `utc` itself when the conversion fails.
inline uint64_t ToLocal(uint64_t utc) {
    uint64_t local = 0;
    return FileTimeToLocal(utc, &local) ? local : utc;
}

}  // namespace Vorlaq

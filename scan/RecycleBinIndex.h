#pragma once
// The small index file the Recycle Bin writes beside each item it holds, named $I plus the six
// characters and extension of the item's $R name:
//   0x00 u64 version: 1 (Windows Vista to 8.1) or 2 (Windows 10 and later)
//   0x08 u64 the item's original size in bytes
//   0x10 u64 deletion time, UTC FILETIME
//   version 1: 0x18 the original full path, UTF-16, a fixed 260 characters, NUL-terminated
//   version 2: 0x18 u32 the path's length in characters, terminator included; 0x1C the path
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ByteReader.h"

namespace Vorlaq {

struct RecycleBinIndex {
    uint64_t version = 0;
    uint64_t originalSize = 0;
    uint64_t deletionTime = 0;  // UTC FILETIME as stored
    std::wstring originalPath;  // "D:\Work\Quarterly report.docx"
};

// The most an index file can hold: version 2 with a path of 32767 characters and its terminator.
constexpr size_t kRecycleBinIndexMaxBytes = 0x1C + 2 * 32768;

// Nothing when the content is shorter than its version needs, the version is unknown, the path
// length runs past the data, or the path does not start with a drive ("X:\").
std::optional<RecycleBinIndex> ParseRecycleBinIndex(const ByteReader& data);

}  // namespace Vorlaq

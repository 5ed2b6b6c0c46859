#pragma once
// Change journal records, as $Extend\$UsnJrnl:$J holds them one after another, each starting on
// an 8-byte boundary (zeros fill the gaps and the start of every page not written).
//
// Every version (offsets from the record's start):
//   0x00 u32 record length (a multiple of 8), 0x04 u16 major version, 0x06 u16 minor version
// Version 2: 0x08 u64 file reference, 0x10 u64 parent reference, 0x18 i64 USN,
//   0x20 FILETIME time stamp (UTC), 0x28 u32 reason, 0x2C u32 source info, 0x30 u32 security id,
//   0x34 u32 file attributes, 0x38 u16 name length in bytes, 0x3A u16 name offset; name UTF-16LE
// Version 3: 0x08 128-bit file id, 0x18 128-bit parent id, 0x28 i64 USN, 0x30 time stamp,
//   0x38 reason, 0x3C source info, 0x40 security id, 0x44 attributes, 0x48 u16 name length,
//   0x4A u16 name offset
// Version 4 (ranges of a file written, no name, no time): 0x08 file id, 0x18 parent id,
//   0x28 i64 USN, 0x30 u32 reason, 0x34 u32 source info, 0x38 u32 remaining extents,
//   0x3C u16 number of extents, 0x3E u16 extent size (16), extents from 0x40: i64 offset, i64 length
// On NTFS a 128-bit id is the 64-bit file reference in its low half.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteReader.h"

namespace Vorlaq {

constexpr uint32_t kUsnReasonFileDelete = 0x00000200;
constexpr uint32_t kUsnReasonRenameOldName = 0x00001000;
constexpr uint32_t kUsnFileAttributeDirectory = 0x00000010;

struct NTFSUsnExtent {
    int64_t offset = 0;
    int64_t length = 0;
};

struct NTFSUsnRecord {
    uint32_t length = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint64_t fileRefLow = 0, fileRefHigh = 0;      // version 2: the reference, high half 0
    uint64_t parentRefLow = 0, parentRefHigh = 0;
    int64_t usn = 0;
    uint64_t timeStamp = 0;                          // 0 in version 4
    uint32_t reason = 0;
    uint32_t sourceInfo = 0;
    uint32_t securityId = 0;                         // 0 in version 4
    uint32_t fileAttributes = 0;                     // 0 in version 4
    uint16_t nameBytes = 0;                          // as stored
    std::wstring name;                               // empty in version 4
    uint32_t remainingExtents = 0;                   // version 4
    std::vector<NTFSUsnExtent> extents;              // version 4
};

// The record that starts at `at`: nothing unless its length is a multiple of 8 that covers the
// version's fixed part and lies inside `bytes`, the version is 2, 3 or 4, the name (versions 2
// and 3: 1 to 255 units, after the fixed part) or the extents (version 4) lie inside the record.
std::optional<NTFSUsnRecord> ParseUsnRecord(const ByteReader& bytes, size_t at);

// Walks `bytes` from its start: every record found goes to `records`; zeros and bytes that are
// not a record are stepped over 8 at a time. Returns where the walk ended: the size of `bytes`,
// or the start of a last record that claims more bytes than are left (the caller may read on and
// try again from there).
size_t ParseUsnRecords(const ByteReader& bytes, std::vector<NTFSUsnRecord>* records);

}  // namespace Vorlaq

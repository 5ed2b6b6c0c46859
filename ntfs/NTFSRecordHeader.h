#pragma once
// The fixed header of file-record bytes read but not loaded into an NTFSFileRecord: enough for a
// walk over the whole MFT to pass over records in use, folders and extension records without
// copying or fixing up their bytes. The fields read here (flags at 0x16, base reference at 0x20)
// lie before the first update-sequence position, so fix-up never changes them.
#include <cstddef>
#include <cstdint>

#include "base/ByteReader.h"

namespace Vorlaq {

struct NTFSRecordHeader {
    bool sound = false;     // NTFSFileRecord::LoadFileRecord accepts these bytes without a log line
    uint16_t flags = 0;     // 0x0001 in use, 0x0002 directory
    uint64_t baseRef = 0;   // 0 in a base record

    // Not in use, not a directory, not an extension record: a file the scan reports.
    bool IsDeletedFile() const { return (flags & 0x0003) == 0 && baseRef == 0; }
    // In use and not a directory.
    bool IsLiveFile() const { return (flags & 0x0003) == 0x0001; }
};

NTFSRecordHeader ReadRecordHeader(const uint8_t* bytes, size_t size);

// The first attribute's type code lies inside the record: the least an attribute walk needs.
bool HasFirstAttribute(const ByteReader& record);

}  // namespace Vorlaq

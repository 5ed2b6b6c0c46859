#include "ntfs/NTFSRecordHeader.h"

#include "ntfs/NTFSUpdateSequence.h"

namespace Vorlaq {

namespace {
constexpr uint32_t kFileMagic = 0x454C4946;  // "FILE"
}

NTFSRecordHeader ReadRecordHeader(const uint8_t* bytes, size_t size) {
    ByteReader record(bytes, size);
    NTFSRecordHeader header;
    header.sound = record.U32(0x00).value_or(0) == kFileMagic && CheckUpdateSequence(bytes, size) &&
                   HasFirstAttribute(record);
    header.flags = record.U16(0x16).value_or(0);
    header.baseRef = record.U64(0x20).value_or(0);
    return header;
}

bool HasFirstAttribute(const ByteReader& record) {
    auto first = record.U16(0x14);
    return first && record.Contains(*first, 4);
}

}  // namespace Vorlaq

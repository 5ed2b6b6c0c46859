#include "ntfs/NTFSUsnRecord.h"

#include "base/Utf16.h"

namespace Vorlaq {

namespace {

constexpr size_t kAlign = 8;
constexpr size_t kV2Fixed = 0x3C;
constexpr size_t kV3Fixed = 0x4C;
constexpr size_t kV4Fixed = 0x40;
constexpr uint16_t kExtentSize = 16;
constexpr size_t kMaxNameUnits = 255;
// The largest record: a version-3 record with a 255-unit name, or version 4's extents, which
// Windows keeps to a few per record.
constexpr uint32_t kMaxRecordLength = 0x10000;

size_t FixedPart(uint16_t major) {
    switch (major) {
    case 2: return kV2Fixed;
    case 3: return kV3Fixed;
    case 4: return kV4Fixed;
    default: return 0;
    }
}

bool ReadName(const ByteReader& record, size_t fixed, size_t lengthAt, NTFSUsnRecord* out) {
    auto nameBytes = record.U16(lengthAt);
    auto nameOffset = record.U16(lengthAt + 2);
    if (!nameBytes || !nameOffset || *nameBytes == 0 || *nameBytes % 2 || *nameBytes / 2 > kMaxNameUnits ||
        *nameOffset < fixed || !record.Contains(*nameOffset, *nameBytes))
        return false;
    out->nameBytes = *nameBytes;
    out->name = DecodeUtf16Le(record.data() + *nameOffset, *nameBytes / 2);
    return true;
}

bool ReadExtents(const ByteReader& record, NTFSUsnRecord* out) {
    out->reason = *record.U32(0x30);
    out->sourceInfo = *record.U32(0x34);
    out->remainingExtents = *record.U32(0x38);
    const uint16_t count = *record.U16(0x3C);
    if (*record.U16(0x3E) != kExtentSize || !record.Contains(kV4Fixed, size_t{count} * kExtentSize)) return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kV4Fixed + i * kExtentSize;
        out->extents.push_back({static_cast<int64_t>(*record.U64(at)), static_cast<int64_t>(*record.U64(at + 8))});
    }
    return true;
}

}  // namespace

std::optional<NTFSUsnRecord> ParseUsnRecord(const ByteReader& bytes, size_t at) {
    auto length = bytes.U32(at);
    auto major = bytes.U16(at + 4);
    auto minor = bytes.U16(at + 6);
    if (!length || !major || !minor) return std::nullopt;
    const size_t fixed = FixedPart(*major);
    if (fixed == 0 || *length < fixed || *length % kAlign || *length > kMaxRecordLength) return std::nullopt;
    auto view = bytes.Sub(at, *length);
    if (!view) return std::nullopt;
    const ByteReader& record = *view;

    NTFSUsnRecord out;
    out.length = *length;
    out.majorVersion = *major;
    out.minorVersion = *minor;
    if (*major == 2) {
        out.fileRefLow = *record.U64(0x08);
        out.parentRefLow = *record.U64(0x10);
        out.usn = static_cast<int64_t>(*record.U64(0x18));
        out.timeStamp = *record.U64(0x20);
        out.reason = *record.U32(0x28);
        out.sourceInfo = *record.U32(0x2C);
        out.securityId = *record.U32(0x30);
        out.fileAttributes = *record.U32(0x34);
        if (!ReadName(record, kV2Fixed, 0x38, &out)) return std::nullopt;
        return out;
    }
    out.fileRefLow = *record.U64(0x08);
    out.fileRefHigh = *record.U64(0x10);
    out.parentRefLow = *record.U64(0x18);
    out.parentRefHigh = *record.U64(0x20);
    out.usn = static_cast<int64_t>(*record.U64(0x28));
    if (*major == 4) {
        if (!ReadExtents(record, &out)) return std::nullopt;
        return out;
    }
    out.timeStamp = *record.U64(0x30);
    out.reason = *record.U32(0x38);
    out.sourceInfo = *record.U32(0x3C);
    out.securityId = *record.U32(0x40);
    out.fileAttributes = *record.U32(0x44);
    if (!ReadName(record, kV3Fixed, 0x48, &out)) return std::nullopt;
    return out;
}

size_t ParseUsnRecords(const ByteReader& bytes, std::vector<NTFSUsnRecord>* records) {
    size_t at = 0;
    while (at + kAlign <= bytes.size()) {
        if (auto record = ParseUsnRecord(bytes, at)) {
            at += record->length;
            records->push_back(std::move(*record));
            continue;
        }
        // A record cut by the end of the bytes: its header is sound but its length runs over.
        auto length = bytes.U32(at);
        auto major = bytes.U16(at + 4);
        if (length && major && FixedPart(*major) && *length % kAlign == 0 && *length <= kMaxRecordLength &&
            *length >= FixedPart(*major) && !bytes.Contains(at, *length))
            return at;
        at += kAlign;
    }
    return bytes.size();
}

}  // namespace Vorlaq

#include "ntfs/NTFSAttributeStandardInfo.h"


namespace Vorlaq {

namespace {

constexpr size_t kReadBytes = 0x24;
}  // namespace

NTFSAttributeStandardInfo::NTFSAttributeStandardInfo(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeResident(attr, record) {}

bool NTFSAttributeStandardInfo::IsWellFormed(const ByteReader& attr) {
    return NTFSAttributeResident::IsWellFormed(attr) && attr.U32(0x10).value_or(0) >= kReadBytes;
}

void NTFSAttributeStandardInfo::GetFileTime(uint64_t* writeTm, uint64_t* createTm, uint64_t* accessTm) const {
    if (writeTm) *writeTm = value_.U64(0x08).value_or(0);
    if (createTm) *createTm = value_.U64(0x00).value_or(0);
    if (accessTm) *accessTm = value_.U64(0x18).value_or(0);
}

NTFSStandardTimes NTFSAttributeStandardInfo::GetUtcTimes() const {
    return {value_.U64(0x00).value_or(0), value_.U64(0x08).value_or(0), value_.U64(0x10).value_or(0),
            value_.U64(0x18).value_or(0)};
}

uint32_t NTFSAttributeStandardInfo::GetFilePermission() const { return value_.U32(0x20).value_or(0); }

}  // namespace Vorlaq

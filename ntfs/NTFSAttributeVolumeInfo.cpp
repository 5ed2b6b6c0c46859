#include "ntfs/NTFSAttributeVolumeInfo.h"

namespace Vorlaq {

NTFSAttributeVolumeInfo::NTFSAttributeVolumeInfo(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeResident(attr, record) {}

bool NTFSAttributeVolumeInfo::IsWellFormed(const ByteReader& attr) {
    return NTFSAttributeResident::IsWellFormed(attr) && attr.U32(0x10).value_or(0) >= 0x0A;
}

uint16_t NTFSAttributeVolumeInfo::GetVersion() const {
    return static_cast<uint16_t>(value_.U8(0x08).value_or(0) * 256 + value_.U8(0x09).value_or(0));
}

}  // namespace Vorlaq

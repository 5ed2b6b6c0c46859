#include "ntfs/NTFSAttributeFileName.h"

namespace Vorlaq {

NTFSAttributeFileName::NTFSAttributeFileName(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeResident(attr, record) {
    SetFileName(value_);
}

bool NTFSAttributeFileName::IsWellFormed(const ByteReader& attr) {
    if (!NTFSAttributeResident::IsWellFormed(attr)) return false;
    auto value = attr.Sub(*attr.U16(0x14), *attr.U32(0x10));
    return value && NTFSFileName::IsWellFormed(*value);
}

}  // namespace Vorlaq

#include "ntfs/NTFSAttributeIndexRoot.h"

namespace Vorlaq {

NTFSAttributeIndexRoot::NTFSAttributeIndexRoot(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeResident(attr, record) {
    if (IsFileNameIndex()) ParseIndexEntries(value_, 0x10, this, false);
}

bool NTFSAttributeIndexRoot::IsFileNameIndex() const { return value_.U32(0x00).value_or(0) == kNTFSAttrFileName; }

}  // namespace Vorlaq

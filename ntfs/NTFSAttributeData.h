#pragma once
// A $DATA stream, in either storage form.
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeNonResident.h"

namespace Vorlaq {

template <typename B>
class NTFSAttributeData : public B {
public:
    NTFSAttributeData(const ByteReader& attr, NTFSFileRecord* record) : B(attr, record) {}
};

}  // namespace Vorlaq

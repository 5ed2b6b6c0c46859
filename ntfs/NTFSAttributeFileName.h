#pragma once
// A $FILE_NAME attribute: the resident value read as a file name.
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileName.h"

namespace Vorlaq {

class NTFSAttributeFileName : public NTFSAttributeResident, public NTFSFileName {
public:
    NTFSAttributeFileName(const ByteReader& attr, NTFSFileRecord* record);
    static bool IsWellFormed(const ByteReader& attr);
};

}  // namespace Vorlaq

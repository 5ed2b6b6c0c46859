#pragma once
// $VOLUME_INFORMATION: value byte 0x08 is the major NTFS version, 0x09 the minor one.
#include <cstdint>

#include "ntfs/NTFSAttribute.h"

namespace Vorlaq {

class NTFSAttributeVolumeInfo : public NTFSAttributeResident {
public:
    NTFSAttributeVolumeInfo(const ByteReader& attr, NTFSFileRecord* record);
    static bool IsWellFormed(const ByteReader& attr);

    // major * 256 + minor
    uint16_t GetVersion() const;
};

}  // namespace Vorlaq

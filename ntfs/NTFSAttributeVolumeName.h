#pragma once
// $VOLUME_NAME: the volume label, value length / 2 UTF-16 code units.
#include <string>

#include "ntfs/NTFSAttribute.h"

namespace Vorlaq {

class NTFSAttributeVolumeName : public NTFSAttributeResident {
public:
    NTFSAttributeVolumeName(const ByteReader& attr, NTFSFileRecord* record);
    static bool IsWellFormed(const ByteReader& attr);

    const std::wstring& GetVolumeName() const { return name_; }
    // The label in the system code page (UTF-8 where there is none).
    const std::string& GetVolumeNameNarrow() const { return narrowName_; }
    int GetVolumeNameLength() const { return static_cast<int>(name_.size()); }

private:
    std::wstring name_;
    std::string narrowName_;
};

}  // namespace Vorlaq

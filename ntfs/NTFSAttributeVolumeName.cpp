#include "ntfs/NTFSAttributeVolumeName.h"

#include "base/Utf16.h"
#include "base/os/Files.h"

namespace Vorlaq {

NTFSAttributeVolumeName::NTFSAttributeVolumeName(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeResident(attr, record),
      name_(DecodeUtf16Le(value_.data(), value_.size() / 2)),
      narrowName_(WideToLogBytes(name_)) {}

bool NTFSAttributeVolumeName::IsWellFormed(const ByteReader& attr) { return NTFSAttributeResident::IsWellFormed(attr); }

}  // namespace Vorlaq

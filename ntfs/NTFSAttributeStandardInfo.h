#pragma once
// $STANDARD_INFORMATION: times and file attribute flags.
//
// Value (offsets from the value's start): 0x00 creation, 0x08 modification, 0x10 MFT change,
// 0x18 last access (FILETIME, UTC); 0x20 u32 file attribute flags. Volumes written by old
// drivers have the 48-byte form, newer ones 72 bytes; only the first 0x24 bytes are read.
#include <cstdint>

#include "base/FileTime.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileFlags.h"

namespace Vorlaq {

// $STANDARD_INFORMATION's four times as stored.
using NTFSStandardTimes = StandardTimes;

class NTFSAttributeStandardInfo : public NTFSAttributeResident,
                                  public NTFSFileFlags<NTFSAttributeStandardInfo> {
public:
    NTFSAttributeStandardInfo(const ByteReader& attr, NTFSFileRecord* record);
    static bool IsWellFormed(const ByteReader& attr);

    // The stored UTC times; creation and access optional.
    void GetFileTime(uint64_t* writeTm, uint64_t* createTm = nullptr, uint64_t* accessTm = nullptr) const;
    NTFSStandardTimes GetUtcTimes() const;
    uint32_t GetFilePermission() const;
};

}  // namespace Vorlaq

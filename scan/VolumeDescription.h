#pragma once
// What `info` shows about an opened volume: its label, serial number, version and geometry.
#include <cstdint>
#include <string>

#include "scan/VolumeSource.h"

namespace Vorlaq {

struct VolumeDescription {
    std::wstring label;         // $Volume's $VOLUME_NAME; empty when it has none or cannot be read
    uint64_t serialNumber = 0;  // from the boot sector in use
    uint16_t version = 0;       // major in the high byte, minor in the low one
    uint64_t volumeBytes = 0;   // the boot sector's sector count times the sector size; 0 unknown
    uint16_t sectorSize = 0;
    uint32_t clusterSize = 0;
    uint32_t fileRecordSize = 0;
    uint32_t indexBlockSize = 0;
    uint64_t mftAddr = 0;       // byte offset of the MFT on the volume
    uint64_t records = 0;       // records in the MFT
};

VolumeDescription DescribeVolume(const NTFSVolume& volume);

}  // namespace Vorlaq

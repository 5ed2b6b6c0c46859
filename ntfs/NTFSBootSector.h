#pragma once
// The boot sector's geometry fields, checked before anything is derived from them.
#include <cstddef>
#include <cstdint>

namespace Vorlaq {

struct NTFSBootSector {
    uint16_t sectorSize = 0;      // bytes per sector: a power of two from 256 to 4096
    uint32_t clusterSize = 0;     // bytes per cluster: nonzero, at most 2 MiB
    uint32_t fileRecordSize = 0;  // bytes per MFT record: holds a record header, whole sectors, at most 64 KiB
    uint32_t indexBlockSize = 0;  // bytes per index block; 0 when the boot sector's byte gives no usable size
    uint64_t mftAddr = 0;         // byte offset of the MFT's first cluster on the volume
    uint64_t mftMirrAddr = 0;     // byte offset of $MFTMirr's first cluster (copies of records 0-3); 0 when unusable
    uint64_t totalSectors = 0;    // the sector count at 0x28
    uint64_t totalClusters = 0;   // whole clusters in that count
    uint64_t serialNumber = 0;    // the volume serial number at 0x48; 0 when the sector ends before it
};

// Bytes the boot sector occupies as read from the device.
constexpr uint32_t kBootSectorSize = 512;

// Parses the first 512 bytes of a volume. False when the OEM identifier is not "NTFS    " or a
// size is outside the ranges above (the volume is then not NTFS for our purposes).
bool ParseBootSector(const uint8_t* bytes, size_t size, NTFSBootSector* out);

}  // namespace Vorlaq

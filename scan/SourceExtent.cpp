#include "scan/SourceExtent.h"

#include <vector>

#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

namespace {

// True when the sector at `index` can be read whole.
bool HoldsSector(Device& device, uint64_t index, std::vector<uint8_t>& buffer) {
    uint32_t got = 0;
    const uint32_t size = static_cast<uint32_t>(buffer.size());
    return device.ReadAt(index * size, buffer.data(), size, &got) && got == size;
}

}  // namespace

SourceExtent MeasureSource(NTFSVolume& volume) {
    SourceExtent extent;
    Device* device = volume.GetDevice();
    const uint32_t sectorSize = volume.GetSectorSize();
    if (!device || sectorSize == 0) return extent;
    const uint64_t sectors = volume.GetTotalSectors();
    if (sectors == 0 || sectors > UINT64_MAX / sectorSize) return extent;
    extent.volumeBytes = extent.heldBytes = sectors * sectorSize;
    std::vector<uint8_t> buffer(sectorSize);
    if (HoldsSector(*device, sectors - 1, buffer)) return extent;
    // Sector 0 is held and the last one is not: find the first sector missing.
    uint64_t held = 1, missing = sectors - 1;
    while (missing - held > 0) {
        uint64_t middle = held + (missing - held) / 2;
        if (HoldsSector(*device, middle, buffer))
            held = middle + 1;
        else
            missing = middle;
    }
    extent.heldBytes = missing * sectorSize;
    return extent;
}

}  // namespace Vorlaq

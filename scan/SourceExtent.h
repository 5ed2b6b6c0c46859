#pragma once
// Whether a source holds the whole volume its boot sector describes: an image cut short (a copy
// that stopped, a download that broke off) reads as a volume whose later records and files fail.
#include <cstdint>

namespace Vorlaq {

class NTFSVolume;

struct SourceExtent {
    uint64_t volumeBytes = 0;  // total sectors times sector size, from the boot sector; 0 unknown
    uint64_t heldBytes = 0;    // how many of them the source holds, when fewer; else volumeBytes
    bool IsShort() const { return heldBytes < volumeBytes; }
    // Whole clusters the source holds; every cluster when the extent is unknown.
    uint64_t HeldClusters(uint32_t clusterSize) const {
        return volumeBytes == 0 || clusterSize == 0 ? UINT64_MAX : heldBytes / clusterSize;
    }
};

// Measured with reads of one sector each (a binary search for the end when it comes early).
SourceExtent MeasureSource(NTFSVolume& volume);

}  // namespace Vorlaq

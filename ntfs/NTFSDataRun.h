#pragma once
// Run lists: where the clusters of a non-resident value lie on the volume.
//
// On disk a run list is a sequence of entries ended by a header byte of 0. Each entry is the
// header byte h, then (h & 0x0F) bytes of run length in clusters (unsigned little-endian), then
// (h >> 4) bytes of LCN offset (signed little-endian) added to a running LCN that starts at 0.
// An entry without offset bytes, or with an offset of 0, is a sparse run.
#include <cstddef>
#include <cstdint>

#include "base/ByteReader.h"

namespace Vorlaq {

struct tagNTFSDataRunEntry {
    int64_t LCN;        // first cluster on the volume; -1 for a sparse run
    uint64_t Clusters;  // run length in clusters
    uint64_t StartVCN;  // first cluster of the stream the run covers
    uint64_t LastVCN;   // StartVCN + Clusters - 1
};

// Decodes the entry whose header byte is at `cursor` in `runs` and steps the cursor past it.
// False when a nibble is above 8, the length is negative as a signed number, or the entry runs
// past the end of `runs`.
bool DecodeDataRun(const ByteReader& runs, size_t* cursor, uint64_t* length, int64_t* offset);

}  // namespace Vorlaq

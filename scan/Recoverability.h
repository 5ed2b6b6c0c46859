#pragma once
// How much of a deleted file's data is still its own: the share of the clusters of its unnamed
// $DATA that the volume's cluster bitmap shows free. Free clusters may still have been written
// and freed again since the deletion (nothing on the volume records that), so `Intact` is the
// best evidence the volume holds, not a promise.
#include <cstdint>
#include <string>
#include <vector>

#include "base/os/Device.h"

namespace Vorlaq {

class NTFSAttributeBase;
class NTFSClusterBitmap;

enum class RecoverState : uint8_t {
    Unknown,      // the bitmap could not be read, or there is no unnamed $DATA to judge
    Intact,       // no cluster of the file is in use now
    Partial,      // some are: `freePercent` of them are free, rounded down
    Overwritten,  // none is free
    Damaged,      // some of its clusters lie in chunks of the source known to be damaged
};

struct Recoverability {
    RecoverState state = RecoverState::Unknown;
    uint8_t freePercent = 0;  // 0..99, for Partial

    bool operator==(const Recoverability&) const = default;
};

// What the scan asks of it: nothing (the bitmap is not read), the state of every file, or only
// the files that are intact.
enum class RecoverabilityMode { Off, Report, IntactOnly };

// What the source itself holds of the volume.
struct SourceLimits {
    uint64_t heldClusters = UINT64_MAX;  // the source ends after these: clusters past them are lost
    std::vector<DamagedSpan> damaged;    // volume bytes known to be damaged
};

// "intact", "83%", "overwritten", "damaged" or "unknown".
std::wstring RecoverabilityText(const Recoverability& value);

// Judges the unnamed $DATA `data` (its pieces already joined) against `bitmap`. A resident
// stream is intact. Sparse runs cost nothing; a compressed stream counts the clusters it stores.
// Only the clusters that hold the data size count (for a compressed stream, the compression units
// that do). Clusters the run list no longer names, and clusters past the volume's end, count as
// lost: the restore cannot read them back. Clusters of the MFT zone are judged like any others:
// the bitmap shows them free until the MFT grows into them, and in use from then on. Clusters the
// source does not hold count as lost; a file not wholly lost with a cluster in a damaged span is
// `Damaged`.
Recoverability JudgeRecoverability(NTFSAttributeBase* data, NTFSClusterBitmap& bitmap, uint32_t clusterSize,
                                   const SourceLimits& limits = {});

// Bytes of the stream's stored clusters (those that hold its data) that lie in `spans`.
uint64_t StoredBytesIn(NTFSAttributeBase* data, uint32_t clusterSize, const std::vector<DamagedSpan>& spans);
// True when a stored cluster of the stream lies at or past byte `end` of the volume.
bool StoredPast(NTFSAttributeBase* data, uint32_t clusterSize, uint64_t end);

}  // namespace Vorlaq

#pragma once
// The deep scan: every file record on the source, found by the carver whatever file system holds
// it now, listed where the live file system does not list it. A record outside the live MFT
// belongs to an earlier file system (a quick format leaves the old records where they were) and
// is listed whether it was in use then or not; a record inside the live MFT is listed when it is
// a deleted file, as the normal scan lists it. The old records are placed on the source volume by
// volume, each by its own evidence (OldVolumes.h); folders come from the parent references among
// the records of the same volume; a file whose folder is gone goes under one folder of lost files.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ntfs/NTFSVolume.h"
#include "scan/DeletedFileInfo.h"
#include "scan/FileFilter.h"
#include "scan/OldVolumes.h"
#include "scan/Recoverability.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class NTFSClusterBitmap;

// The folder, under the volume's root, of files whose folder record is gone.
inline constexpr wchar_t kLostFilesFolder[] = L"Lost Files";

struct DeepScanResult {
    uint64_t bytesRead = 0;
    uint64_t rows = 0;          // files listed
    uint64_t oldRows = 0;       // of those, from outside the live MFT
    uint64_t unplacedRows = 0;  // of those, of records no evidence placed on the source
    uint64_t inLiveFiles = 0;   // records passed over in live files' clusters (copies, not old ones)
    uint64_t damagedChunks = 0;  // chunks of the source whose checksums failed
    std::vector<OldVolume> volumes;  // the old file systems placed, with the files listed from each
};

class DeepScan {
public:
    // Reads the live file system's geometry, MFT and (with `mode` not Off) cluster bitmap, when
    // the source holds one.
    DeepScan(const VolumeSource& source, RecoverabilityMode mode);
    ~DeepScan();
    DeepScan(const DeepScan&) = delete;
    DeepScan& operator=(const DeepScan&) = delete;

    bool HasLiveFileSystem() const { return live_ && live_->IsVolumeOK() && live_->HasMFTData(); }
    // Bytes the scan reads: the whole source.
    uint64_t Length() const { return length_; }
    // Files found so far by the Run under way: read on another thread for its progress.
    uint64_t Found() const { return found_.load(std::memory_order_relaxed); }

    // Threads that look through the source's blocks: `count`, or with 0 (the default) one per core.
    void SetThreads(unsigned count) { threads_ = count; }

    // Hands each file listed to `sink`, in position order; ends early once `stop` is set.
    // `progress` follows the bytes read.
    DeepScanResult Run(const FileFilter& filter, const std::function<void(DeletedFileInfo&)>& sink,
                       const std::atomic<bool>* stop = nullptr, std::atomic<uint64_t>* progress = nullptr);

    // The old file system a listed file from outside the live MFT is restored from, as the last
    // Run placed it; none, with the reason in `refusal`, for a file whose place is not known.
    std::optional<VolumeSource> SourceOf(const DeletedFileInfo& file, std::wstring* refusal) const;

private:
    // Whether [position, position + size) lies among the live MFT's records.
    bool InLiveMft(uint64_t position, uint32_t size) const;
    // Whether the byte at `position` lies in a cluster a live file other than the MFT holds.
    bool InLiveFile(uint64_t position) const;
    // The volume a record of the MFT at `mftStart` was placed in.
    const OldVolume* VolumeOf(uint64_t mftStart) const;
    // Whether a stored cluster of the data of record `number` of the MFT at `mftStart` (of the
    // live MFT without `old`) lies in a damaged chunk the last Run's read found.
    bool InDamage(bool old, uint64_t mftStart, uint32_t recordSize, uint64_t number) const;
    // A piece of the MFT of the old volume whose bytes hold `position` (`pieceOf` names one piece
    // of each volume); none outside every one.
    std::optional<uint64_t> PieceHolding(uint64_t position, const std::vector<std::optional<uint64_t>>& pieceOf) const;

    const VolumeSource& source_;
    const RecoverabilityMode mode_;
    std::unique_ptr<NTFSVolume> live_;
    std::unique_ptr<NTFSClusterBitmap> bitmap_;
    std::vector<std::pair<uint64_t, uint64_t>> liveMft_;          // byte ranges [first, end) of its records
    std::vector<std::pair<uint64_t, uint64_t>> liveMftClusters_;  // and of its clusters
    uint64_t liveSize_ = 0;                               // the live volume's bytes
    uint64_t length_ = 0;
    uint32_t clusterSize_ = 0;
    unsigned threads_ = 0;
    // What the last Run placed: the old volumes, and which one each MFT piece (by start) is in.
    std::vector<OldVolume> volumes_;
    std::unordered_map<uint64_t, size_t> volumeOfPiece_;
    std::atomic<uint64_t> found_{0};
    std::vector<DamagedSpan> damage_;  // what the last Run's read found damaged
};

}  // namespace Vorlaq

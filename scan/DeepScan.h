#pragma once
// The deep scan: every file record on the source, found by the carver whatever file system holds
// it now, listed where the live file system does not list it. A record outside the live MFT
// belongs to an earlier file system (a quick format leaves the old records where they were) and
// is listed whether it was in use then or not; a record inside the live MFT is listed when it is
// a deleted file, as the normal scan lists it. Folders come from the parent references among the
// records of the same MFT; a file whose folder is gone goes under one folder of lost files.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/NTFSVolume.h"
#include "scan/DeletedFileInfo.h"
#include "scan/FileFilter.h"
#include "scan/Recoverability.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class NTFSClusterBitmap;

// The folder, under the volume's root, of files whose folder record is gone.
inline constexpr wchar_t kLostFilesFolder[] = L"Lost Files";

// Where the cluster size that old files' data runs are read at comes from.
enum class ClusterSizeFrom { LiveBootSector, IndexBlocks, MftRecord, Assumed };

struct DeepScanResult {
    uint64_t bytesRead = 0;
    uint64_t rows = 0;     // files listed
    uint64_t oldRows = 0;  // of those, from outside the live MFT
    uint32_t clusterSize = 0;
    ClusterSizeFrom clusterSizeFrom = ClusterSizeFrom::Assumed;
    uint64_t indexMatches = 0;  // folders whose index blocks lie where their runs say, at that size
    // Where the old volume starts in the source: 0 but on a whole disk read without a file system,
    // where an old $MFT's or $MFTMirr's first run tells it.
    uint64_t volumeStart = 0;
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

    // Threads that look through the source's blocks: `count`, or with 0 (the default) one per core.
    void SetThreads(unsigned count) { threads_ = count; }

    // Hands each file listed to `sink`, in position order; ends early once `stop` is set.
    // `progress` follows the bytes read.
    DeepScanResult Run(const FileFilter& filter, const std::function<void(DeletedFileInfo&)>& sink,
                       const std::atomic<bool>* stop = nullptr, std::atomic<uint64_t>* progress = nullptr);

    // The old file system a listed file from outside the live MFT is restored from, read at the
    // cluster size the last Run settled on.
    VolumeSource SourceOf(const DeletedFileInfo& file) const;

private:
    // Whether [position, position + size) lies in the live MFT's clusters.
    bool InLiveMft(uint64_t position, uint32_t size) const;
    // The cluster size and volume start at which most folders' first index clusters land on an
    // index block found.
    void SettleGeometry(const std::vector<uint64_t>& indexBlocks, DeepScanResult& result) const;
    // How many folders' first index clusters land on an index block at that size and start.
    uint64_t IndexMatches(const std::vector<uint64_t>& indexBlocks, uint32_t size, uint64_t start) const;

    const VolumeSource& source_;
    const RecoverabilityMode mode_;
    std::unique_ptr<NTFSVolume> live_;
    std::unique_ptr<NTFSClusterBitmap> bitmap_;
    std::vector<std::pair<uint64_t, uint64_t>> liveMft_;  // byte ranges [first, end)
    std::vector<int64_t> folderIndexClusters_;           // each folder's first index block cluster
    // Old records 0 ($MFT) and 1 ($MFTMirr): where their MFT starts in the source, and their first run's cluster.
    std::vector<std::pair<uint64_t, uint64_t>> mftAnchors_;
    uint64_t length_ = 0;
    uint32_t clusterSize_ = 0;
    uint64_t volumeStart_ = 0;
    unsigned threads_ = 0;
};

}  // namespace Vorlaq

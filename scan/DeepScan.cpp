#include "scan/DeepScan.h"

#include <algorithm>

#include "base/Utf16.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/CarvedFolders.h"
#include "scan/FilePathBuilder.h"
#include "scan/RecordCarver.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kSmallestCluster = 512;
constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint32_t kAssumedCluster = 4096;
// $Extend's record: the files in it ($Quota, $ObjId, $Reparse, $UsnJrnl) are the file system's own.
constexpr uint64_t kExtendRecord = 11;
constexpr uint64_t kMftMirrRecord = 1;
// Old records 0 and 1 that may place a volume's start: a few tell it; a hostile source may hold many.
constexpr size_t kMostMftAnchors = 16;

const NTFSAttributeNonResident* IndexAllocationOf(NTFSFileRecord& record) {
    return dynamic_cast<const NTFSAttributeNonResident*>(record.FindFirstAttr(kNTFSAttrIndexAllocation));
}

// A file found, waiting for the whole source to be read: its folder may lie further on (a
// fragmented MFT, a folder made later). Kept small: a quick-formatted volume may hold a million.
struct Waiting {
    uint64_t position;
    uint64_t mftStart;
    uint64_t parentRef;
    uint64_t number;
    uint64_t size;
    uint64_t times[3];  // modified, created, accessed
    uint32_t recordSize;
    uint16_t sequence;
    bool old;
    Recoverability recoverability;
    std::string name;  // UTF-8
};

// A folder's record, as CarvedFolders::Add takes it.
struct FolderRecord {
    uint64_t mftStart;
    uint64_t number;
    uint16_t sequence;
    uint64_t parentRef;
    std::wstring name;
};

// A folder named by an entry of its parent's index, as CarvedFolders::AddIndexed takes it.
struct IndexedFolder {
    uint64_t reference;
    uint64_t parentRef;
    std::wstring name;
};

// What the records and index entries of one block of the source hold, in position order.
struct BlockFinds {
    std::vector<FolderRecord> folders;
    std::vector<IndexedFolder> indexed;
    std::vector<int64_t> folderIndexClusters;
    std::vector<std::pair<uint64_t, uint64_t>> mftAnchors;
    std::vector<Waiting> files;
};

}  // namespace

DeepScan::DeepScan(const VolumeSource& source, RecoverabilityMode mode) : source_(source), mode_(mode) {
    live_ = source.Open();
    // The whole source, whatever the live file system (if any) says its size is.
    if (std::unique_ptr<Device> device = source.OpenDevice()) length_ = FindDeviceEnd(*device);
    if (!HasLiveFileSystem()) return;
    clusterSize_ = live_->GetClusterSize();
    if (auto* mft = dynamic_cast<NTFSAttributeNonResident*>(live_->GetMFTData()))
        for (const tagNTFSDataRunEntry& run : mft->GetDataRuns()) {
            const uint64_t cluster = static_cast<uint64_t>(run.LCN);
            if (run.LCN < 0 || cluster > UINT64_MAX / clusterSize_ || run.Clusters > UINT64_MAX / clusterSize_) continue;
            const uint64_t first = cluster * clusterSize_;
            liveMft_.emplace_back(first, first + std::min(run.Clusters * clusterSize_, UINT64_MAX - first));
        }
    if (mode_ != RecoverabilityMode::Off) bitmap_ = std::make_unique<NTFSClusterBitmap>(*live_);
}

DeepScan::~DeepScan() = default;

bool DeepScan::InLiveMft(uint64_t position, uint32_t size) const {
    return std::any_of(liveMft_.begin(), liveMft_.end(), [&](const auto& range) {
        return position >= range.first && position < range.second && size <= range.second - position;
    });
}

DeepScanResult DeepScan::Run(const FileFilter& filter, const std::function<void(DeletedFileInfo&)>& sink,
                             const std::atomic<bool>* stop, std::atomic<uint64_t>* progress) {
    DeepScanResult result;
    folderIndexClusters_.clear();
    mftAnchors_.clear();
    const std::wstring root = source_.GetVolumeText();
    CarvedFolders folders(root);
    // A file's folder may lie further on: the files wait for the whole source to be read.
    std::vector<Waiting> files;
    const bool judged = mode_ != RecoverabilityMode::Off && bitmap_ && bitmap_->IsReadable();

    RecordCarver carver(source_, length_, clusterSize_);
    RecordCarver::Sinks<BlockFinds> sinks;
    sinks.record = [&](const CarvedRecord& carved, BlockFinds& finds) {
        NTFSFileRecord& record = *carved.record;
        const uint64_t number = record.GetFileRef();
        auto* firstName = dynamic_cast<NTFSFileName*>(record.FindFirstAttr(kNTFSAttrFileName));
        const uint64_t parentRef = firstName ? firstName->GetParentRef() : 0;
        std::wstring name = ShownRecordName(record, number);
        if (record.IsDirectory()) {
            if (const NTFSAttributeNonResident* index = IndexAllocationOf(record); index && !index->GetDataRuns().empty())
                finds.folderIndexClusters.push_back(index->GetDataRuns().front().LCN);
            if (!name.empty())
                finds.folders.push_back({carved.mftStart, number, record.GetSequenceNumber(), parentRef, std::move(name)});
            return;
        }
        if (number <= kMftMirrRecord) {
            // $MFT's and $MFTMirr's first clusters, counted from their volume's start: the MFT and
            // its mirror both begin with these two records, and one of them lies where it says.
            auto* stored = dynamic_cast<const NTFSAttributeNonResident*>(record.FindStream());
            if (stored && !stored->GetDataRuns().empty() && stored->GetDataRuns().front().StartVCN == 0 &&
                stored->GetDataRuns().front().LCN > 0)
                finds.mftAnchors.emplace_back(carved.mftStart, static_cast<uint64_t>(stored->GetDataRuns().front().LCN));
        }
        if (number < kNTFSFirstUserRecord || (parentRef & kNTFSRecordNumberMask) == kExtendRecord) return;
        const bool old = !InLiveMft(carved.position, carved.recordSize);
        if (!old && !record.IsDeleted()) return;  // the live file system holds it
        if (name.empty() || !filter.MatchFile(name)) return;

        Recoverability recoverability;
        NTFSAttributeBase* data = record.FindStream();
        if (judged && data) recoverability = JudgeRecoverability(data, *bitmap_, clusterSize_);
        if (mode_ == RecoverabilityMode::IntactOnly && recoverability.state != RecoverState::Intact) return;

        Waiting file{carved.position, carved.mftStart, parentRef, number, data ? data->GetDataSize() : 0, {},
                     carved.recordSize, record.GetSequenceNumber(), old, recoverability, WideToUtf8(name)};
        record.GetFileTime(&file.times[0], &file.times[1], &file.times[2]);
        finds.files.push_back(std::move(file));
    };
    // A file the live file system holds is passed over unloaded; folders are all kept, for paths.
    sinks.wanted = [&](uint64_t position, uint32_t recordSize, const NTFSRecordHeader& header) {
        return !header.IsLiveFile() || !InLiveMft(position, recordSize);
    };
    // A folder's name in its parent's index, for when the folder's record is gone.
    sinks.indexEntry = [&](const NTFSIndexEntry& entry, BlockFinds& finds) {
        if (!entry.IsDirectory() || !entry.IsWin32Name()) return;
        wchar_t name[kNTFSMaxNameChars + 1];
        if (entry.GetFileName(name, kNTFSMaxNameChars) > 0)
            finds.indexed.push_back({entry.GetFileReference(), entry.GetParentRef(), name});
    };
    sinks.done = [&](BlockFinds& finds) {
        folderIndexClusters_.insert(folderIndexClusters_.end(), finds.folderIndexClusters.begin(),
                                    finds.folderIndexClusters.end());
        for (const FolderRecord& folder : finds.folders)
            folders.Add(folder.mftStart, folder.number, folder.sequence, folder.parentRef, folder.name);
        for (const IndexedFolder& folder : finds.indexed) folders.AddIndexed(folder.reference, folder.parentRef, folder.name);
        for (const auto& anchor : finds.mftAnchors)
            if (mftAnchors_.size() < kMostMftAnchors) mftAnchors_.push_back(anchor);
        for (Waiting& file : finds.files) files.push_back(std::move(file));
    };
    result.bytesRead = carver.Run(sinks, PoolWorkers(threads_), stop, progress);
    SettleGeometry(carver.IndexBlocks(), result);
    // Old files were judged at the live clusters' size: at another size that judgement says nothing.
    const bool judgedAtOwnSize = result.clusterSize == clusterSize_;
    clusterSize_ = result.clusterSize;
    volumeStart_ = result.volumeStart;

    const auto lost = std::make_shared<const std::wstring>(root + kLostFilesFolder + L"\\");
    for (Waiting& waiting : files) {
        if (waiting.old && !judgedAtOwnSize) {
            if (mode_ == RecoverabilityMode::IntactOnly) continue;
            waiting.recoverability = Recoverability();
        }
        DeletedFileInfo file(root, waiting.number, Utf8ToWide(waiting.name), std::wstring(), waiting.size,
                             &waiting.times[0], &waiting.times[1], &waiting.times[2]);
        std::string().swap(waiting.name);
        std::shared_ptr<const std::wstring> path = folders.PathOf(waiting.mftStart, waiting.parentRef);
        file.SetPath(path ? std::move(path) : lost);
        file.SetSequence(waiting.sequence);
        file.SetRecoverability(waiting.recoverability);
        if (waiting.old) file.SetOldRecord(waiting.position, waiting.recordSize);
        ++result.rows;
        if (waiting.old) ++result.oldRows;
        sink(file);
    }
    return result;
}

uint64_t DeepScan::IndexMatches(const std::vector<uint64_t>& indexBlocks, uint32_t size, uint64_t start) const {
    uint64_t matches = 0;
    for (int64_t cluster : folderIndexClusters_) {
        const uint64_t at = static_cast<uint64_t>(cluster);
        if (cluster < 0 || at > (UINT64_MAX - start) / size) continue;
        matches += std::binary_search(indexBlocks.begin(), indexBlocks.end(), start + at * size);
    }
    return matches;
}

void DeepScan::SettleGeometry(const std::vector<uint64_t>& indexBlocks, DeepScanResult& result) const {
    for (uint32_t size = kSmallestCluster; size <= kLargestCluster; size *= 2) {
        // The volume starts where the source does, or, without a live file system (a whole disk),
        // where an old record 0 or 1 puts it: the first cluster of its MFT or mirror at the start of
        // the records around it.
        std::vector<uint64_t> starts{0};
        if (!HasLiveFileSystem())
            for (const auto& [mftStart, cluster] : mftAnchors_)
                if (cluster <= mftStart / size) starts.push_back(mftStart - cluster * size);
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        for (uint64_t start : starts) {
            const uint64_t matches = IndexMatches(indexBlocks, size, start);
            const bool better = matches > result.indexMatches ||
                                (matches != 0 && matches == result.indexMatches && size == clusterSize_ && start == 0);
            if (!better) continue;
            result.indexMatches = matches;
            result.clusterSize = size;
            result.volumeStart = start;
            result.clusterSizeFrom = ClusterSizeFrom::IndexBlocks;
        }
    }
    if (result.indexMatches != 0) return;
    result.clusterSize = clusterSize_ ? clusterSize_ : kAssumedCluster;
    result.clusterSizeFrom = clusterSize_ ? ClusterSizeFrom::LiveBootSector : ClusterSizeFrom::Assumed;
    if (clusterSize_) return;
    // No folder's index to go by: an old record 0 or 1 whose first run, at some size, lands at its
    // own MFT's start, on a volume that starts where the source does.
    for (uint32_t size = kSmallestCluster; size <= kLargestCluster; size *= 2)
        for (const auto& [mftStart, cluster] : mftAnchors_)
            if (cluster <= mftStart / size && cluster * size == mftStart) {
                result.clusterSize = size;
                result.clusterSizeFrom = ClusterSizeFrom::MftRecord;
                return;
            }
}

VolumeSource DeepScan::SourceOf(const DeletedFileInfo& file) const {
    const uint64_t mftStart = file.GetOldPosition() - file.GetRecordNumber() * file.GetOldRecordSize();
    return source_.OldFileSystem(mftStart, file.GetOldRecordSize(), clusterSize_ ? clusterSize_ : kAssumedCluster,
                                 volumeStart_);
}

}  // namespace Vorlaq

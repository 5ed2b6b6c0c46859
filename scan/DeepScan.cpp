#include "scan/DeepScan.h"

#include <algorithm>
#include <map>

#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FilePathBuilder.h"
#include "scan/RecordCarver.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kSmallestCluster = 512;
constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint32_t kAssumedCluster = 4096;
// $Extend's record: the files in it ($Quota, $ObjId, $Reparse, $UsnJrnl) are the file system's own.
constexpr uint64_t kExtendRecord = 11;

const NTFSAttributeNonResident* IndexAllocationOf(NTFSFileRecord& record) {
    return dynamic_cast<const NTFSAttributeNonResident*>(record.FindFirstAttr(kNTFSAttrIndexAllocation));
}

// The folders of one MFT, each read once, through a view of that MFT.
struct FolderPaths {
    std::unique_ptr<NTFSVolume> view;
    std::unique_ptr<DirectoryPathCache> paths;
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
    std::map<std::pair<uint64_t, uint32_t>, FolderPaths> folders;
    const std::wstring root = source_.GetVolumeText();
    const bool judged = mode_ != RecoverabilityMode::Off && bitmap_ && bitmap_->IsReadable();

    RecordCarver carver(source_, length_, clusterSize_);
    auto found = [&](const CarvedRecord& carved) {
        NTFSFileRecord& record = *carved.record;
        const uint64_t number = record.GetFileRef();
        if (record.IsDirectory()) {
            if (const NTFSAttributeNonResident* index = IndexAllocationOf(record); index && !index->GetDataRuns().empty())
                folderIndexClusters_.push_back(index->GetDataRuns().front().LCN);
            return;
        }
        if (number < kNTFSFirstUserRecord || record.GetParentRef() == kExtendRecord) return;
        const bool old = !InLiveMft(carved.position, carved.recordSize);
        if (!old && !record.IsDeleted()) return;  // the live file system holds it
        const std::wstring name = ShownRecordName(record, number);
        if (name.empty() || !filter.MatchFile(name)) return;

        Recoverability recoverability;
        NTFSAttributeBase* data = record.FindStream();
        if (judged && data) recoverability = JudgeRecoverability(data, *bitmap_, clusterSize_);
        if (mode_ == RecoverabilityMode::IntactOnly && recoverability.state != RecoverState::Intact) return;

        FolderPaths& mft = folders[{carved.mftStart, carved.recordSize}];
        if (!mft.view) {
            mft.view = source_.OldFileSystem(RecordCarver::ViewGeometry(carved.mftStart, carved.recordSize,
                                                                        clusterSize_ ? clusterSize_ : kAssumedCluster),
                                             0)
                           .Open();
            mft.paths = std::make_unique<DirectoryPathCache>(*mft.view);
            mft.paths->KnowRootByNumber();
        }
        std::wstring path = mft.paths->BuildFilePath(number, record.GetParentRef());
        if (path == root + L"Unknown") path = root + kLostFilesFolder + L"\\";

        uint64_t modified = 0, created = 0, accessed = 0;
        record.GetFileTime(&modified, &created, &accessed);
        DeletedFileInfo file(root, number, name, path, data ? data->GetDataSize() : 0, &modified, &created, &accessed);
        file.SetSequence(record.GetSequenceNumber());
        file.SetRecoverability(recoverability);
        if (old) file.SetOldRecord(carved.position, carved.recordSize);
        ++result.rows;
        if (old) ++result.oldRows;
        sink(file);
    };
    result.bytesRead = carver.Run(found, stop, progress);
    SettleClusterSize(carver.IndexBlocks(), result);
    clusterSize_ = result.clusterSize;
    return result;
}

void DeepScan::SettleClusterSize(const std::vector<uint64_t>& indexBlocks, DeepScanResult& result) const {
    // The size at which most folders' first index clusters land on an index block found.
    for (uint32_t size = kSmallestCluster; size <= kLargestCluster; size *= 2) {
        uint64_t matches = 0;
        for (int64_t cluster : folderIndexClusters_) {
            if (cluster < 0 || static_cast<uint64_t>(cluster) > UINT64_MAX / size) continue;
            matches += std::binary_search(indexBlocks.begin(), indexBlocks.end(), static_cast<uint64_t>(cluster) * size);
        }
        const bool better = matches > result.indexMatches || (matches != 0 && matches == result.indexMatches && size == clusterSize_);
        if (better) {
            result.indexMatches = matches;
            result.clusterSize = size;
            result.clusterSizeFrom = ClusterSizeFrom::IndexBlocks;
        }
    }
    if (result.indexMatches != 0) return;
    result.clusterSize = clusterSize_ ? clusterSize_ : kAssumedCluster;
    result.clusterSizeFrom = clusterSize_ ? ClusterSizeFrom::LiveBootSector : ClusterSizeFrom::Assumed;
}

VolumeSource DeepScan::SourceOf(const DeletedFileInfo& file) const {
    const uint64_t mftStart = file.GetOldPosition() - file.GetRecordNumber() * file.GetOldRecordSize();
    return source_.OldFileSystem(
        RecordCarver::ViewGeometry(mftStart, file.GetOldRecordSize(), clusterSize_ ? clusterSize_ : kAssumedCluster), 0);
}

}  // namespace Vorlaq

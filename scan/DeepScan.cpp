#include "scan/DeepScan.h"

#include <algorithm>
#include <unordered_map>

#include "base/Utf16.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/CarvedFolders.h"
#include "scan/FileExtentDevice.h"
#include "scan/FilePathBuilder.h"
#include "scan/RecordCarver.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kMftRecord = 0;
constexpr uint64_t kMftMirrRecord = 1;
constexpr uint64_t kBitmapRecord = 6;
// $Extend's record: the files in it ($Quota, $ObjId, $Reparse, $UsnJrnl) are the file system's own.
constexpr uint64_t kExtendRecord = 11;
// No NTFS volume is smaller: a file below it holds none.
constexpr uint64_t kSmallestVolume = 1u << 20;

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
    // Its data's first cluster (-1 for none): the start of a volume kept in a file (a virtual
    // machine's disk) is looked for among them.
    int64_t firstCluster;
    uint32_t recordSize;
    uint16_t sequence;
    bool old;
    bool listed;  // else kept only as a volume's possible holder
    Recoverability recoverability;
    std::string name;  // UTF-8
};

// A folder's record, as CarvedFolders::Add takes it.
struct FolderRecord {
    uint64_t mftStart;
    bool old;
    uint64_t number;
    uint16_t sequence;
    uint64_t parentRef;
    std::wstring name;
};

// A folder named by an entry of its parent's index, as CarvedFolders::AddIndexed takes it.
struct IndexedFolder {
    uint64_t reference;
    uint64_t parentRef;
    uint64_t blockPosition;
    std::wstring name;
};

// What the records and index entries of one block of the source hold, in position order.
struct BlockFinds {
    std::vector<FolderRecord> folders;
    std::vector<IndexedFolder> indexed;
    OldVolumeEvidence evidence;
    std::vector<Waiting> files;
};

// What an old record tells of where its volume lies: its streams' cluster size, and for $MFT,
// $MFTMirr and $Bitmap their runs.
void NoteEvidence(NTFSFileRecord& record, uint64_t mftStart, uint32_t recordSize, uint64_t number, uint64_t parentRef,
                  OldVolumeEvidence& evidence) {
    evidence.AddRecord(mftStart, number, recordSize);
    if ((parentRef & kNTFSRecordNumberMask) != 0) evidence.AddParentRef(mftStart, parentRef);
    for (const NTFSAttributeBase* attr : {static_cast<const NTFSAttributeBase*>(record.FindStream()),
                                          static_cast<const NTFSAttributeBase*>(IndexAllocationOf(record))}) {
        auto* stored = dynamic_cast<const NTFSAttributeNonResident*>(attr);
        if (!stored || stored->GetStartVCN() != 0) continue;
        uint64_t allocated = 0;
        const uint64_t dataSize = stored->GetDataSize(&allocated);
        evidence.AddClusterVote(mftStart, allocated, stored->GetLastVCN(), stored->IsCompressedStream());
        if (attr != IndexAllocationOf(record) &&
            (number == kMftRecord || number == kMftMirrRecord || number == kBitmapRecord))
            evidence.AddSystemRecord(mftStart, number, stored->GetDataRuns(), dataSize);
    }
}

// Record `number` read again into `record`, for its unnamed $DATA (owned by the record); null when
// the record cannot be read or has none.
NTFSAttributeBase* ReadDataOf(NTFSFileRecord& record, uint64_t number) {
    record.SetAttrMask(kNTFSMaskData);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs()) return nullptr;
    return record.FindStream();
}

// `spans` of the source as bytes of a volume that starts `start` bytes in.
std::vector<DamagedSpan> SpansInVolume(const std::vector<DamagedSpan>& spans, uint64_t start) {
    std::vector<DamagedSpan> inside;
    for (const DamagedSpan& span : spans) {
        const uint64_t end = span.offset + std::min(span.length, UINT64_MAX - span.offset);
        if (end > start) inside.push_back({std::max(span.offset, start) - start, end - std::max(span.offset, start)});
    }
    return inside;
}

// A volume that starts inside another (the live one, of `liveSize` bytes, or an old one of known
// size) lies in a file of it, found among the old files by its first cluster: its bytes are read
// through that file's runs (`extentOf` reads them), and its files are listed under its path.
void PlaceInnerVolumes(std::vector<OldVolume>& volumes, const std::unordered_map<uint64_t, size_t>& pieces,
                       uint64_t liveSize, const std::vector<Waiting>& files,
                       const std::function<std::shared_ptr<const std::wstring>(const Waiting&)>& pathOf,
                       const std::function<std::optional<FileExtent>(const Waiting&, const OldVolume&)>& extentOf) {
    auto volumeOf = [&](uint64_t mftStart) -> const OldVolume* {
        const auto found = pieces.find(mftStart);
        return found == pieces.end() ? nullptr : &volumes[found->second];
    };
    for (OldVolume& volume : volumes) {
        const bool inLive = volume.start != 0 && volume.start < liveSize;
        const bool inOld = std::any_of(volumes.begin(), volumes.end(), [&](const OldVolume& outer) {
            return &outer != &volume && outer.size != 0 && outer.start < volume.start &&
                   volume.start - outer.start < outer.size;
        });
        if (!inLive && !inOld) continue;
        const Waiting* holder = nullptr;
        const OldVolume* holderVolume = nullptr;
        for (const Waiting& file : files) {
            const OldVolume* outer = file.old ? volumeOf(file.mftStart) : nullptr;
            if (!outer || outer == &volume || outer->inFile || outer->start > volume.start || file.firstCluster < 0)
                continue;
            const uint64_t cluster = static_cast<uint64_t>(file.firstCluster);
            if (cluster <= (volume.start - outer->start) / outer->clusterSize &&
                outer->start + cluster * outer->clusterSize == volume.start) {
                holder = &file;
                holderVolume = outer;
                break;
            }
        }
        std::optional<FileExtent> extent = holder ? extentOf(*holder, *holderVolume) : std::nullopt;
        if (!extent || extent->FileOffsetOf(volume.start) != 0u) {
            volume.refusal = holder ? L"its volume lies in a file whose runs cannot be read"
                                    : L"its volume lies inside another volume, in a file not found";
            continue;
        }
        volume.inFile = std::make_shared<const FileExtent>(std::move(*extent));
        volume.outerPath = *pathOf(*holder) + Utf8ToWide(holder->name) + L"\\";
    }
}

}  // namespace

DeepScan::DeepScan(const VolumeSource& source, RecoverabilityMode mode) : source_(source), mode_(mode) {
    live_ = source.Open();
    // The whole source, whatever the live file system (if any) says its size is.
    if (std::unique_ptr<Device> device = source.OpenDevice()) length_ = FindDeviceEnd(*device);
    if (!HasLiveFileSystem()) return;
    clusterSize_ = live_->GetClusterSize();
    liveSize_ = live_->GetTotalClusters() <= UINT64_MAX / clusterSize_ ? live_->GetTotalClusters() * clusterSize_ : 0;
    if (auto* mft = dynamic_cast<NTFSAttributeNonResident*>(live_->GetMFTData())) {
        // The live MFT's records are those below its data size; the allocated clusters past it may
        // hold an earlier MFT's records.
        uint64_t records = mft->GetDataSize();
        for (const tagNTFSDataRunEntry& run : mft->GetDataRuns()) {
            const uint64_t cluster = static_cast<uint64_t>(run.LCN);
            if (run.LCN < 0 || cluster > UINT64_MAX / clusterSize_ || run.Clusters > UINT64_MAX / clusterSize_) continue;
            const uint64_t first = cluster * clusterSize_;
            const uint64_t bytes = std::min(run.Clusters * clusterSize_, UINT64_MAX - first);
            liveMftClusters_.emplace_back(first, first + bytes);
            if (records != 0) liveMft_.emplace_back(first, first + std::min(bytes, records));
            records -= std::min(bytes, records);
        }
    }
    // Which clusters live files hold: records there are no earlier file system's.
    bitmap_ = std::make_unique<NTFSClusterBitmap>(*live_);
}
DeepScan::~DeepScan() = default;

namespace {

bool InRanges(const std::vector<std::pair<uint64_t, uint64_t>>& ranges, uint64_t position, uint32_t size) {
    return std::any_of(ranges.begin(), ranges.end(), [&](const auto& range) {
        return position >= range.first && position < range.second && size <= range.second - position;
    });
}

}  // namespace

bool DeepScan::InLiveMft(uint64_t position, uint32_t size) const { return InRanges(liveMft_, position, size); }

bool DeepScan::InLiveFile(uint64_t position) const {
    if (!bitmap_ || !bitmap_->IsReadable() || position >= liveSize_ || InRanges(liveMftClusters_, position, 1))
        return false;
    const std::optional<uint64_t> used = bitmap_->CountInUse(position / clusterSize_, 1);
    return used && *used != 0;
}

const OldVolume* DeepScan::VolumeOf(uint64_t mftStart) const {
    const auto found = volumeOfPiece_.find(mftStart);
    return found == volumeOfPiece_.end() ? nullptr : &volumes_[found->second];
}

std::optional<uint64_t> DeepScan::PieceHolding(uint64_t position, const std::vector<std::optional<uint64_t>>& pieceOf) const {
    // The volume that starts last at or before the position and, where its size is known, holds it.
    std::optional<size_t> holder;
    for (size_t volume = 0; volume < volumes_.size(); ++volume) {
        const OldVolume& placed = volumes_[volume];
        if (placed.start <= position && (placed.size == 0 || position - placed.start < placed.size) &&
            (!holder || placed.start > volumes_[*holder].start))
            holder = volume;
    }
    return holder ? pieceOf[*holder] : std::nullopt;
}

DeepScanResult DeepScan::Run(const FileFilter& filter, const std::function<void(DeletedFileInfo&)>& sink,
                             const std::atomic<bool>* stop, std::atomic<uint64_t>* progress) {
    DeepScanResult result;
    volumes_.clear();
    volumeOfPiece_.clear();
    const std::wstring root = source_.GetVolumeText();
    CarvedFolders folders(root);
    OldVolumeEvidence evidence;
    // A file's folder may lie further on: the files wait for the whole source to be read.
    std::vector<Waiting> files;
    const bool judged = mode_ != RecoverabilityMode::Off && bitmap_ && bitmap_->IsReadable();
    found_ = 0;
    std::atomic<uint64_t> inLiveFiles{0};

    RecordCarver carver(source_, length_, clusterSize_);
    RecordCarver::Sinks<BlockFinds> sinks;
    sinks.record = [&](const CarvedRecord& carved, BlockFinds& finds) {
        NTFSFileRecord& record = *carved.record;
        const uint64_t number = record.GetFileRef();
        auto* firstName = dynamic_cast<NTFSFileName*>(record.FindFirstAttr(kNTFSAttrFileName));
        const uint64_t parentRef = firstName ? firstName->GetParentRef() : 0;
        const bool old = !InLiveMft(carved.position, carved.recordSize);
        // A record in a live file's clusters is a copy (a shadow copy's store, a disk image): its
        // file system is none that this volume held.
        if (old && InLiveFile(carved.position)) {
            if (number >= kNTFSFirstUserRecord) inLiveFiles.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (old) NoteEvidence(record, carved.mftStart, carved.recordSize, number, parentRef, finds.evidence);
        std::wstring name = ShownRecordName(record, number);
        if (record.IsDirectory()) {
            const NTFSAttributeNonResident* index = IndexAllocationOf(record);
            if (old && index && !index->GetDataRuns().empty())
                finds.evidence.AddFolderIndex(carved.mftStart, number, index->GetDataRuns().front().LCN);
            if (old) finds.evidence.AddFolder(carved.mftStart, number, record.GetSequenceNumber());
            if (!name.empty())
                finds.folders.push_back(
                    {carved.mftStart, old, number, record.GetSequenceNumber(), parentRef, std::move(name)});
            return;
        }
        if (number < kNTFSFirstUserRecord || (parentRef & kNTFSRecordNumberMask) == kExtendRecord) return;
        if (!old && !record.IsDeleted()) return;  // the live file system holds it

        Recoverability recoverability;
        NTFSAttributeBase* data = record.FindStream();
        bool listed = !name.empty() && filter.MatchFile(name);
        if (listed && judged && data) recoverability = JudgeRecoverability(data, *bitmap_, clusterSize_);
        listed = listed && (mode_ != RecoverabilityMode::IntactOnly || recoverability.state == RecoverState::Intact);
        // An old file large enough to hold a volume is kept, listed or not: it may be one's holder.
        auto* stored = old ? dynamic_cast<const NTFSAttributeNonResident*>(data) : nullptr;
        const bool first = stored && !stored->GetDataRuns().empty() && stored->GetDataRuns().front().StartVCN == 0;
        if (!listed && !(first && stored->GetDataSize() >= kSmallestVolume)) return;

        Waiting file{carved.position, carved.mftStart, parentRef, number, data ? data->GetDataSize() : 0, {},
                     first ? stored->GetDataRuns().front().LCN : -1, carved.recordSize, record.GetSequenceNumber(),
                     old, listed, recoverability, WideToUtf8(name)};
        record.GetFileTime(&file.times[0], &file.times[1], &file.times[2]);
        finds.files.push_back(std::move(file));
    };
    // A file the live file system holds is passed over unloaded; folders are all kept, for paths.
    sinks.wanted = [&](uint64_t position, uint32_t recordSize, const NTFSRecordHeader& header) {
        return !header.IsLiveFile() || !InLiveMft(position, recordSize);
    };
    // A folder's name in its parent's index, for when the folder's record is gone.
    sinks.indexEntry = [&](const NTFSIndexEntry& entry, uint64_t blockPosition, BlockFinds& finds) {
        // A live folder's index names live folders, whose numbers older records may share.
        if (!entry.IsDirectory() || !entry.IsWin32Name() || InLiveFile(blockPosition)) return;
        wchar_t name[kNTFSMaxNameChars + 1];
        if (entry.GetFileName(name, kNTFSMaxNameChars) > 0)
            finds.indexed.push_back({entry.GetFileReference(), entry.GetParentRef(), blockPosition, name});
    };
    sinks.done = [&](BlockFinds& finds) {
        evidence.Merge(std::move(finds.evidence));
        for (const FolderRecord& folder : finds.folders)
            folders.Add(folder.mftStart, folder.old, folder.number, folder.sequence, folder.parentRef, folder.name);
        for (const IndexedFolder& folder : finds.indexed)
            folders.AddIndexed(folder.reference, folder.parentRef, folder.name, folder.blockPosition);
        for (Waiting& file : finds.files) {
            if (file.listed) found_.fetch_add(1, std::memory_order_relaxed);
            files.push_back(std::move(file));
        }
    };
    result.bytesRead = carver.Run(sinks, PoolWorkers(threads_), stop, progress);

    // Index blocks of live folders tell nothing of older volumes.
    std::vector<CarvedIndexBlock> oldIndexBlocks;
    for (const CarvedIndexBlock& block : carver.IndexBlocks())
        if (!InLiveFile(block.position)) oldIndexBlocks.push_back(block);
    OldVolumePlacer placer(evidence, oldIndexBlocks, carver.BootSectors());
    volumes_ = placer.Place();
    volumeOfPiece_ = placer.Pieces();
    folders.SetSameVolume([this](uint64_t mftStart, uint64_t otherStart) {
        const OldVolume* volume = VolumeOf(mftStart);
        return volume && volume == VolumeOf(otherStart);
    });
    std::vector<std::optional<uint64_t>> pieceOf(volumes_.size());
    for (const auto& [mftStart, volume] : volumeOfPiece_)
        if (!pieceOf[volume]) pieceOf[volume] = mftStart;
    folders.PlaceIndexed([&](uint64_t blockPosition) { return PieceHolding(blockPosition, pieceOf); });
    const auto lost = std::make_shared<const std::wstring>(root + kLostFilesFolder + L"\\");
    auto pathOf = [&](const Waiting& waiting) {
        std::shared_ptr<const std::wstring> path = folders.PathOf(waiting.mftStart, waiting.old, waiting.parentRef);
        return path ? path : lost;
    };
    auto extentOf = [this](const Waiting& file, const OldVolume& volume) -> std::optional<FileExtent> {
        std::unique_ptr<NTFSVolume> view =
            source_.OldFileSystem(file.mftStart, file.recordSize, volume.clusterSize, volume.start).Open();
        NTFSFileRecord record(view.get());
        auto* stored = dynamic_cast<const NTFSAttributeNonResident*>(ReadDataOf(record, file.number));
        if (!stored) return std::nullopt;
        return FileExtent::Of(volume.start, volume.clusterSize, stored->GetDataRuns(), stored->GetDataSize());
    };
    PlaceInnerVolumes(volumes_, volumeOfPiece_, HasLiveFileSystem() ? liveSize_ : 0, files, pathOf, extentOf);
    // The pieces of a volume kept in a file lie wherever the file's runs put them.
    evidence.ForEachGroup([this](uint64_t mftStart, uint64_t recordPosition) {
        for (size_t volume = 0; volume < volumes_.size() && volumeOfPiece_.count(mftStart) == 0; ++volume)
            if (volumes_[volume].inFile && volumes_[volume].inFile->FileOffsetOf(recordPosition))
                volumeOfPiece_.emplace(mftStart, volume);
    });

    if (std::unique_ptr<Device> device = source_.OpenDevice()) damage_ = device->KnownDamage();
    if (!damage_.empty())
        for (Waiting& waiting : files)
            if (waiting.listed && waiting.recoverability.state != RecoverState::Overwritten &&
                InDamage(waiting.old, waiting.mftStart, waiting.recordSize, waiting.number))
                waiting.recoverability = {RecoverState::Damaged, 0};

    // Paths under a volume kept in a file begin with that file's path, each made once.
    std::unordered_map<const std::wstring*, std::shared_ptr<const std::wstring>> innerPaths;
    for (Waiting& waiting : files) {
        if (!waiting.listed) continue;
        const OldVolume* volume = waiting.old ? VolumeOf(waiting.mftStart) : nullptr;
        // Old files were judged at the live volume's geometry: at another that judgement says nothing.
        const bool judgedHere = !waiting.old || (volume && volume->start == 0 && volume->clusterSize == clusterSize_);
        if (!judgedHere && waiting.recoverability.state != RecoverState::Damaged) waiting.recoverability = Recoverability();
        if (mode_ == RecoverabilityMode::IntactOnly && waiting.recoverability.state != RecoverState::Intact) continue;
        DeletedFileInfo file(root, waiting.number, Utf8ToWide(waiting.name), std::wstring(), waiting.size,
                             &waiting.times[0], &waiting.times[1], &waiting.times[2]);
        std::string().swap(waiting.name);
        std::shared_ptr<const std::wstring> path = pathOf(waiting);
        if (volume && !volume->outerPath.empty()) {
            std::shared_ptr<const std::wstring>& inner = innerPaths[path.get()];
            if (!inner) inner = std::make_shared<const std::wstring>(volume->outerPath + path->substr(root.size()));
            path = inner;
        }
        file.SetPath(std::move(path));
        file.SetSequence(waiting.sequence);
        file.SetRecoverability(waiting.recoverability);
        if (waiting.old) file.SetOldRecord(waiting.position, waiting.recordSize);
        ++result.rows;
        if (waiting.old) {
            ++result.oldRows;
            if (volume) ++volumes_[static_cast<size_t>(volume - volumes_.data())].files;
            else ++result.unplacedRows;
        }
        sink(file);
    }
    result.volumes = volumes_;
    result.inLiveFiles = inLiveFiles.load();
    result.damagedChunks = damage_.size();
    return result;
}

bool DeepScan::InDamage(bool old, uint64_t mftStart, uint32_t recordSize, uint64_t number) const {
    // The whole source is read now, so every damaged chunk is known: the record is read again for
    // its runs, at its volume's geometry. (A volume kept in a file is read through the file's runs,
    // which the spans do not follow.)
    const OldVolume* volume = old ? VolumeOf(mftStart) : nullptr;
    if (old && (!volume || volume->inFile)) return false;
    std::unique_ptr<NTFSVolume> view =
        volume ? source_.OldFileSystem(mftStart, recordSize, volume->clusterSize, volume->start).Open() : source_.Open();
    NTFSFileRecord record(view.get());
    NTFSAttributeBase* data = ReadDataOf(record, number);
    return data && StoredBytesIn(data, volume ? volume->clusterSize : clusterSize_,
                                 SpansInVolume(damage_, volume ? volume->start : 0)) != 0;
}

std::optional<VolumeSource> DeepScan::SourceOf(const DeletedFileInfo& file, std::wstring* refusal) const {
    const uint64_t mftStart = file.GetOldPosition() - file.GetRecordNumber() * file.GetOldRecordSize();
    const OldVolume* volume = VolumeOf(mftStart);
    if (!volume || !volume->refusal.empty()) {
        if (refusal) *refusal = volume ? volume->refusal : L"its file system's place on the source is not known";
        return std::nullopt;
    }
    if (!volume->inFile) return source_.OldFileSystem(mftStart, file.GetOldRecordSize(), volume->clusterSize, volume->start);
    // In a volume kept in a file, the record's MFT starts where its place in the file puts it.
    const std::optional<uint64_t> inFile = volume->inFile->FileOffsetOf(file.GetOldPosition());
    if (!inFile) {
        if (refusal) *refusal = L"its record lies outside the file its volume is kept in";
        return std::nullopt;
    }
    const std::shared_ptr<const FileExtent> extent = volume->inFile;
    const VolumeSource inner = VolumeSource::FromDevice(
        [source = source_, extent] { return OpenFileExtent(source.OpenDevice(), *extent); }, source_.GetVolumeText());
    return inner.OldFileSystem(*inFile - file.GetRecordNumber() * file.GetOldRecordSize(), file.GetOldRecordSize(),
                               volume->clusterSize);
}

}  // namespace Vorlaq

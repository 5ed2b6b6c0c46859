#include "scan/OldVolumes.h"

#include <algorithm>
#include <set>

#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kSmallestCluster = 512;
constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint64_t kMftRecord = 0;
constexpr uint64_t kMftMirrRecord = 1;
constexpr uint64_t kBitmapRecord = 6;
// An MFT holds its first records ($Volume is 3) where a mirror holds only copies of records 0-3.
constexpr uint64_t kHighestMirrorRecord = 3;
// Records below this are the file system's own in every volume: their numbers link nothing.
constexpr uint64_t kFirstUserRecord = 16;
// Bounds against a hostile source: records 0, 1 and 6 kept, runs of each, folders indexed and
// parent references sampled per group, folders kept for the parent references, index blocks per
// folder tried, and rounds of placing by parent folders.
constexpr size_t kMostSystemRecords = 64;
constexpr size_t kMostRuns = 16384;
constexpr size_t kMostFolderIndexes = 4096;
constexpr size_t kMostParentRefs = 64;
constexpr size_t kMostFolders = 2u << 20;
constexpr size_t kMostBlocksTried = 64;
constexpr int kMostRounds = 16;
// Folders (or parent references) that must agree before a group is placed by them.
constexpr uint64_t kLeastAgreeing = 2;

bool IsClusterSize(uint64_t size) {
    return size >= kSmallestCluster && size <= kLargestCluster && (size & (size - 1)) == 0;
}

int64_t FirstCluster(const std::vector<tagNTFSDataRunEntry>& runs) {
    return !runs.empty() && runs.front().StartVCN == 0 ? runs.front().LCN : -1;
}

// The best of `votes` when it has at least kLeastAgreeing and no other as many.
template <typename Key>
std::optional<Key> ClearWinner(const std::map<Key, uint64_t>& votes) {
    std::optional<Key> best;
    uint64_t most = 0;
    bool tied = false;
    for (const auto& [key, count] : votes) {
        if (count > most) {
            best = key;
            most = count;
            tied = false;
        } else if (count == most) {
            tied = true;
        }
    }
    if (tied || most < kLeastAgreeing) return std::nullopt;
    return best;
}

}  // namespace

void OldVolumeEvidence::AddRecord(uint64_t mftStart, uint64_t number, uint32_t recordSize) {
    Group& group = groups_[mftStart];
    ++group.records;
    group.highestNumber = std::max(group.highestNumber, number);
    group.recordSize = recordSize;
}

void OldVolumeEvidence::ForEachGroup(const std::function<void(uint64_t mftStart, uint64_t recordPosition)>& visit) const {
    for (const auto& [mftStart, group] : groups_) visit(mftStart, mftStart + group.highestNumber * group.recordSize);
}

void OldVolumeEvidence::AddClusterVote(uint64_t mftStart, uint64_t allocated, uint64_t lastVcn, bool compressed) {
    // A compressed stream's allocated size counts compression units, not the clusters mapped.
    if (compressed || lastVcn == UINT64_MAX || allocated == 0) return;
    const uint64_t clusters = lastVcn + 1;
    if (allocated % clusters != 0 || !IsClusterSize(allocated / clusters)) return;
    ++groups_[mftStart].clusterVotes[static_cast<uint32_t>(allocated / clusters)];
}

void OldVolumeEvidence::AddSystemRecord(uint64_t mftStart, uint64_t number, const std::vector<tagNTFSDataRunEntry>& runs,
                                        uint64_t dataSize) {
    if (systemRecords_.size() >= kMostSystemRecords || FirstCluster(runs) <= 0) return;
    systemRecords_.push_back({mftStart, number,
                              std::vector<tagNTFSDataRunEntry>(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(
                                                                                  std::min(runs.size(), kMostRuns))),
                              dataSize});
}

void OldVolumeEvidence::AddFolderIndex(uint64_t mftStart, uint64_t number, int64_t firstCluster) {
    Group& group = groups_[mftStart];
    if (firstCluster >= 0 && group.folderIndexes.size() < kMostFolderIndexes)
        group.folderIndexes.emplace_back(number, firstCluster);
}

void OldVolumeEvidence::AddFolder(uint64_t mftStart, uint64_t number, uint16_t sequence) {
    if (number >= kFirstUserRecord && folders_.size() < kMostFolders) folders_.emplace(number, FolderSeen{mftStart, sequence});
}

void OldVolumeEvidence::AddParentRef(uint64_t mftStart, uint64_t parentRef) {
    Group& group = groups_[mftStart];
    if ((parentRef & kNTFSRecordNumberMask) >= kFirstUserRecord && group.parentRefs.size() < kMostParentRefs &&
        std::find(group.parentRefs.begin(), group.parentRefs.end(), parentRef) == group.parentRefs.end())
        group.parentRefs.push_back(parentRef);
}

void OldVolumeEvidence::Merge(OldVolumeEvidence&& later) {
    for (auto& [mftStart, from] : later.groups_) {
        Group& group = groups_[mftStart];
        group.records += from.records;
        if (from.highestNumber >= group.highestNumber) group.recordSize = from.recordSize;
        group.highestNumber = std::max(group.highestNumber, from.highestNumber);
        for (const auto& [size, count] : from.clusterVotes) group.clusterVotes[size] += count;
        for (const auto& [number, cluster] : from.folderIndexes) AddFolderIndex(mftStart, number, cluster);
        for (uint64_t parentRef : from.parentRefs) AddParentRef(mftStart, parentRef);
    }
    for (SystemRecord& record : later.systemRecords_)
        if (systemRecords_.size() < kMostSystemRecords) systemRecords_.push_back(std::move(record));
    for (const auto& [number, folder] : later.folders_)
        if (folders_.size() < kMostFolders) folders_.emplace(number, folder);
}

OldVolumePlacer::OldVolumePlacer(const OldVolumeEvidence& evidence, const std::vector<CarvedIndexBlock>& indexBlocks,
                                 const std::vector<CarvedBootSector>& bootSectors)
    : evidence_(evidence), indexBlocks_(indexBlocks), bootSectors_(bootSectors) {
    for (const CarvedIndexBlock& block : indexBlocks_)
        if (block.vcn == 0 && block.owner != kNoIndexOwner) blocksByOwner_.emplace(block.owner, block.position);
}

std::optional<size_t> OldVolumePlacer::VolumeOf(uint64_t mftStart) const {
    const auto found = volumeOf_.find(mftStart);
    if (found == volumeOf_.end()) return std::nullopt;
    return found->second;
}

uint32_t OldVolumePlacer::ClusterSizeOf(uint64_t mftStart) const {
    const auto group = evidence_.groups_.find(mftStart);
    if (group == evidence_.groups_.end()) return 0;
    uint32_t best = 0;
    uint64_t most = 0;
    for (const auto& [size, count] : group->second.clusterVotes)
        if (count > most) {
            best = size;
            most = count;
        }
    return best;
}

bool OldVolumePlacer::Fits(uint64_t mftStart, uint32_t clusterSize) const {
    const uint32_t own = ClusterSizeOf(mftStart);
    return own == 0 || own == clusterSize;
}

void OldVolumePlacer::Join(uint64_t mftStart, size_t volume) {
    if (evidence_.groups_.count(mftStart) != 0) volumeOf_.emplace(mftStart, volume);
}

size_t OldVolumePlacer::VolumeAt(uint64_t start, uint32_t clusterSize, OldPlaceFrom from) {
    for (size_t i = 0; i < volumes_.size(); ++i)
        if (volumes_[i].start == start && volumes_[i].clusterSize == clusterSize) return i;
    OldVolume volume;
    volume.start = start;
    volume.clusterSize = clusterSize;
    volume.from = from;
    volumes_.push_back(volume);
    return volumes_.size() - 1;
}

void OldVolumePlacer::JoinPieces(size_t volume, const std::vector<tagNTFSDataRunEntry>& runs) {
    // Record N of the piece a run maps lies at start + LCN * cluster + (N * record size - VCN *
    // cluster): the piece's records imply start + (LCN - VCN) * cluster, modulo 2^64 as they do.
    const OldVolume& placed = volumes_[volume];
    for (const tagNTFSDataRunEntry& run : runs) {
        if (run.LCN < 0) continue;
        const uint64_t lcn = static_cast<uint64_t>(run.LCN);
        const uint64_t pieceStart = placed.start + lcn * placed.clusterSize - run.StartVCN * placed.clusterSize;
        if (Fits(pieceStart, placed.clusterSize)) Join(pieceStart, volume);
    }
}

void OldVolumePlacer::PlaceByBootSectors() {
    for (const CarvedBootSector& boot : bootSectors_) {
        const NTFSBootSector& geometry = boot.geometry;
        std::vector<uint64_t> starts{boot.position};
        // A backup lies in the volume's last sector, the one the sector count leaves out.
        if (geometry.totalSectors <= boot.position / geometry.sectorSize)
            starts.push_back(boot.position - geometry.totalSectors * geometry.sectorSize);
        for (uint64_t start : starts) {
            const uint64_t mftStart = start + geometry.mftAddr;
            if (evidence_.groups_.count(mftStart) == 0 || VolumeOf(mftStart) ||
                !Fits(mftStart, geometry.clusterSize))
                continue;
            const size_t volume = VolumeAt(start, geometry.clusterSize, OldPlaceFrom::BootSector);
            if (geometry.totalSectors < UINT64_MAX / geometry.sectorSize)
                volumes_[volume].size = (geometry.totalSectors + 1) * geometry.sectorSize;
            Join(mftStart, volume);
        }
    }
}

void OldVolumePlacer::PlaceByMftRecords() {
    const auto& records = evidence_.systemRecords_;
    auto firstOf = [&](uint64_t mftStart, uint64_t number) -> const OldVolumeEvidence::SystemRecord* {
        for (const auto& record : records)
            if (record.mftStart == mftStart && record.number == number) return &record;
        return nullptr;
    };
    for (const auto& mft : records) {
        if (mft.number != kMftRecord) continue;
        const uint32_t clusterSize = ClusterSizeOf(mft.mftStart);
        const uint64_t lcn = static_cast<uint64_t>(FirstCluster(mft.runs));
        if (clusterSize == 0 || lcn > UINT64_MAX / clusterSize) continue;
        const auto group = evidence_.groups_.find(mft.mftStart);
        if (group == evidence_.groups_.end()) continue;
        std::optional<size_t> volume = VolumeOf(mft.mftStart);
        if (!volume && group->second.highestNumber > kHighestMirrorRecord) {
            // The group is the MFT itself, whose first cluster its record 0 names.
            if (lcn * clusterSize > mft.mftStart) continue;
            volume = VolumeAt(mft.mftStart - lcn * clusterSize, clusterSize, OldPlaceFrom::MftRecord);
            Join(mft.mftStart, *volume);
        } else if (!volume) {
            // A mirror: its copy of record 1 names the mirror's first cluster, that of record 0 the MFT's.
            const auto* mirror = firstOf(mft.mftStart, kMftMirrRecord);
            if (!mirror) continue;
            const uint64_t mirrorLcn = static_cast<uint64_t>(FirstCluster(mirror->runs));
            if (mirrorLcn > mft.mftStart / clusterSize) continue;
            const uint64_t start = mft.mftStart - mirrorLcn * clusterSize;
            const uint64_t mftStart = start + lcn * clusterSize;
            if (evidence_.groups_.count(mftStart) == 0 || VolumeOf(mftStart) || !Fits(mftStart, clusterSize)) continue;
            volume = VolumeAt(start, clusterSize, OldPlaceFrom::MirrorRecords);
            Join(mftStart, *volume);
            Join(mft.mftStart, *volume);
        }
        JoinPieces(*volume, mft.runs);
    }
}

void OldVolumePlacer::PlaceByIndexBlocks() {
    for (const auto& [mftStart, group] : evidence_.groups_) {
        if (VolumeOf(mftStart) || group.folderIndexes.empty()) continue;
        std::vector<uint32_t> sizes;
        if (const uint32_t own = ClusterSizeOf(mftStart)) sizes.push_back(own);
        else
            for (uint32_t size = kSmallestCluster; size <= kLargestCluster; size *= 2) sizes.push_back(size);
        // Each folder votes once for each geometry that puts its first index block under it.
        std::map<std::pair<uint32_t, uint64_t>, uint64_t> votes;
        for (const auto& [number, cluster] : group.folderIndexes) {
            std::set<std::pair<uint32_t, uint64_t>> fits;
            auto [first, last] = blocksByOwner_.equal_range(number);
            for (size_t tried = 0; first != last && tried < kMostBlocksTried; ++first, ++tried)
                for (uint32_t size : sizes)
                    if (static_cast<uint64_t>(cluster) <= first->second / size)
                        fits.emplace(size, first->second - static_cast<uint64_t>(cluster) * size);
            for (const auto& geometry : fits) ++votes[geometry];
        }
        if (const auto best = ClearWinner(votes)) {
            Join(mftStart, VolumeAt(best->second, best->first, OldPlaceFrom::IndexBlocks));
            continue;
        }
        // Fewer folders place the group only where one volume placed already lies.
        std::set<size_t> placedThere;
        for (const auto& vote : votes)
            for (size_t volume = 0; volume < volumes_.size(); ++volume)
                if (volumes_[volume].clusterSize == vote.first.first && volumes_[volume].start == vote.first.second)
                    placedThere.insert(volume);
        if (placedThere.size() == 1) Join(mftStart, *placedThere.begin());
    }
}

bool OldVolumePlacer::PlaceByParentFolders() {
    bool placed = false;
    for (const auto& [mftStart, group] : evidence_.groups_) {
        if (VolumeOf(mftStart)) continue;
        std::map<size_t, uint64_t> votes;
        for (uint64_t parentRef : group.parentRefs) {
            const uint16_t wanted = static_cast<uint16_t>(parentRef >> 48);
            std::set<size_t> named;
            auto [first, last] = evidence_.folders_.equal_range(parentRef & kNTFSRecordNumberMask);
            for (; first != last; ++first) {
                const auto& folder = first->second;
                const bool fits = folder.sequence == wanted || folder.sequence == static_cast<uint16_t>(wanted + 1);
                if (const auto volume = VolumeOf(folder.mftStart); fits && volume) named.insert(*volume);
            }
            for (size_t volume : named) ++votes[volume];
        }
        const auto best = ClearWinner(votes);
        if (!best || !Fits(mftStart, volumes_[*best].clusterSize)) continue;
        Join(mftStart, *best);
        placed = true;
    }
    return placed;
}

uint64_t OldVolumePlacer::IndexMatches(uint64_t mftStart, uint64_t start, uint32_t clusterSize) const {
    uint64_t matches = 0;
    const auto group = evidence_.groups_.find(mftStart);
    for (const auto& [number, cluster] : group->second.folderIndexes) {
        if (static_cast<uint64_t>(cluster) > (UINT64_MAX - start) / clusterSize) continue;
        const uint64_t at = start + static_cast<uint64_t>(cluster) * clusterSize;
        auto [first, last] = blocksByOwner_.equal_range(number);
        matches += std::any_of(first, last, [at](const auto& block) { return block.second == at; });
    }
    return matches;
}

void OldVolumePlacer::Measure() {
    for (const auto& [mftStart, volume] : volumeOf_) {
        OldVolume& placed = volumes_[volume];
        placed.indexMatches += IndexMatches(mftStart, placed.start, placed.clusterSize);
    }
    // Without a boot sector, $Bitmap's size tells the volume's: a bit a cluster.
    for (const auto& record : evidence_.systemRecords_) {
        const auto volume = VolumeOf(record.mftStart);
        if (record.number != kBitmapRecord || !volume || volumes_[*volume].size != 0) continue;
        const uint64_t clusterSize = volumes_[*volume].clusterSize;
        if (record.dataSize <= UINT64_MAX / 8 / clusterSize) volumes_[*volume].size = record.dataSize * 8 * clusterSize;
    }
}

std::vector<OldVolume> OldVolumePlacer::Place() {
    PlaceByBootSectors();
    PlaceByMftRecords();
    PlaceByIndexBlocks();
    for (int round = 0; round < kMostRounds && PlaceByParentFolders(); ++round) {
    }
    Measure();
    return volumes_;
}

}  // namespace Vorlaq

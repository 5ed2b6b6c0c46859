#pragma once
// The earlier file systems whose records a deep scan found, each placed on the source by its own
// evidence. The records of one MFT piece share the start their numbers imply (position - number *
// record size): a group. A group is placed, first match wins, by
//   - a boot sector, or its backup in the volume's last sector, whose MFT lies at the group's start;
//   - its own $MFT record (record 0): the first run, at the cluster size the group's own run lists
//     show (allocated size over the clusters mapped), puts the volume's start;
//   - the copies of records 0 and 1 in a mirror: $MFTMirr's run puts the start, $MFT's the MFT;
//   - its folders' index blocks: a folder's first index block lies at start + first cluster *
//     cluster size, and the block's entries name that folder as their parent (two folders that
//     agree, or one that puts the group where a volume placed already lies);
//   - the folders its records name as parents, when those lie in one placed volume.
// The runs of a placed volume's $MFT record name the other pieces of its MFT, which join it. A
// group nothing places is listed, but its files are not restored: another volume's geometry that
// happens to fit it says nothing of where its clusters lie.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ntfs/NTFSDataRun.h"
#include "scan/FileExtentDevice.h"
#include "scan/RecordCarver.h"

namespace Vorlaq {

enum class OldPlaceFrom { BootSector, MftRecord, MirrorRecords, IndexBlocks };

struct OldVolume {
    uint64_t start = 0;  // its first byte on the source
    uint32_t clusterSize = 0;
    OldPlaceFrom from = OldPlaceFrom::BootSector;
    uint64_t size = 0;          // bytes, from a boot sector or its $Bitmap; 0 when unknown
    uint64_t indexMatches = 0;  // folders whose first index block lies where the geometry puts it
    uint64_t files = 0;         // files listed from it
    // A volume inside a file of another (a virtual machine's disk, a raw image): that file's
    // folder and name ("\VMs\inner.img\"), the root of the files listed from it, and where the
    // file's bytes lie; the volume starts at the file's first byte.
    std::wstring outerPath;
    std::shared_ptr<const FileExtent> inFile;
    // Why its files are not restored; empty when they are.
    std::wstring refusal;
};

// What the records and index blocks of one MFT piece tell of its file system.
class OldVolumeEvidence {
public:
    // A record of the group at `mftStart`; `number` its record number, `recordSize` its size.
    void AddRecord(uint64_t mftStart, uint64_t number, uint32_t recordSize);
    // A non-resident stream of a record of the group, starting at VCN 0: its allocated size over
    // the clusters its runs map is the volume's cluster size.
    void AddClusterVote(uint64_t mftStart, uint64_t allocated, uint64_t lastVcn, bool compressed);
    // Record 0 ($MFT), 1 ($MFTMirr) or 6 ($Bitmap) of the group: its unnamed $DATA's runs and size.
    void AddSystemRecord(uint64_t mftStart, uint64_t number, const std::vector<tagNTFSDataRunEntry>& runs,
                         uint64_t dataSize);
    // A folder of the group and the first cluster of its index blocks.
    void AddFolderIndex(uint64_t mftStart, uint64_t number, int64_t firstCluster);
    // A folder of the group, for the parent references of other groups.
    void AddFolder(uint64_t mftStart, uint64_t number, uint16_t sequence);
    // A parent reference that a record of the group holds (a sample of each group's is kept).
    void AddParentRef(uint64_t mftStart, uint64_t parentRef);
    // What another part of the source showed, taken after what this holds.
    void Merge(OldVolumeEvidence&& later);
    // Each group by its MFT start, with the position of one of its records.
    void ForEachGroup(const std::function<void(uint64_t mftStart, uint64_t recordPosition)>& visit) const;

private:
    friend class OldVolumePlacer;
    struct SystemRecord {
        uint64_t mftStart;
        uint64_t number;
        std::vector<tagNTFSDataRunEntry> runs;
        uint64_t dataSize;
    };
    struct Group {
        uint64_t records = 0;
        uint64_t highestNumber = 0;
        uint32_t recordSize = 0;
        std::map<uint32_t, uint64_t> clusterVotes;
        std::vector<std::pair<uint64_t, int64_t>> folderIndexes;  // folder number, first cluster
        std::vector<uint64_t> parentRefs;
    };
    struct FolderSeen {
        uint64_t mftStart;
        uint16_t sequence;
    };
    std::unordered_map<uint64_t, Group> groups_;
    std::vector<SystemRecord> systemRecords_;
    std::unordered_multimap<uint64_t, FolderSeen> folders_;  // by record number
};

// Places the groups of `evidence` by it and by the index blocks and boot sectors the carver saw.
class OldVolumePlacer {
public:
    OldVolumePlacer(const OldVolumeEvidence& evidence, const std::vector<CarvedIndexBlock>& indexBlocks,
                    const std::vector<CarvedBootSector>& bootSectors);

    // The volumes placed; each group joins one or none.
    std::vector<OldVolume> Place();
    // The volume `mftStart`'s group joined, as an index into Place's result; none when unplaced.
    std::optional<size_t> VolumeOf(uint64_t mftStart) const;
    // Every group placed, by its MFT start, with its volume.
    const std::unordered_map<uint64_t, size_t>& Pieces() const { return volumeOf_; }

private:
    // The group's cluster size by its own run lists; 0 when they show none.
    uint32_t ClusterSizeOf(uint64_t mftStart) const;
    bool Fits(uint64_t mftStart, uint32_t clusterSize) const;
    void Join(uint64_t mftStart, size_t volume);
    // A volume at `start` with `clusterSize` clusters (the one already placed there, or a new one).
    size_t VolumeAt(uint64_t start, uint32_t clusterSize, OldPlaceFrom from);
    // The groups the runs of a $MFT record of the volume name as its MFT's pieces join it.
    void JoinPieces(size_t volume, const std::vector<tagNTFSDataRunEntry>& runs);
    void PlaceByBootSectors();
    void PlaceByMftRecords();
    void PlaceByIndexBlocks();
    bool PlaceByParentFolders();
    // Folders of the group whose first index block lies where (start, clusterSize) puts it.
    uint64_t IndexMatches(uint64_t mftStart, uint64_t start, uint32_t clusterSize) const;
    void Measure();

    const OldVolumeEvidence& evidence_;
    const std::vector<CarvedIndexBlock>& indexBlocks_;
    const std::vector<CarvedBootSector>& bootSectors_;
    std::unordered_multimap<uint64_t, uint64_t> blocksByOwner_;  // folder number -> position of VCN 0
    std::vector<OldVolume> volumes_;
    std::unordered_map<uint64_t, size_t> volumeOf_;
};

}  // namespace Vorlaq

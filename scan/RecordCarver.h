#pragma once
// Finds MFT file records anywhere on a source, whatever file system holds them now: the source is
// read once from start to end, and a record is a "FILE" header at a 512-byte boundary whose
// fix-up checks. Its record number (header 0x2C) places the start of its MFT at position - number
// * record size: the records of one MFT, or of one piece of a fragmented MFT, share that start
// (for a piece that lies before number * record size, a start below the source's, modulo 2^64).
// Index blocks ("INDX") whose fix-up checks are noted by position, for the geometry of a file
// system whose boot sector is gone, and their entries handed on: a folder's entries name its
// children, the folders among them included, when the children's records are gone.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSIndexEntry.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSVolume.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// A record the carver found, loaded into `record` (names, $DATA and $INDEX_ALLOCATION parsed) over
// a view of the file system it belongs to: reading its folders reads their records there.
struct CarvedRecord {
    uint64_t position = 0;    // its first byte, from the source's start
    uint64_t mftStart = 0;    // position - number * recordSize, modulo 2^64
    uint32_t recordSize = 0;  // header 0x1C
    NTFSFileRecord* record = nullptr;
};

class RecordCarver {
public:
    // Base records only, in position order, on the thread that runs the carver.
    using FoundRecord = std::function<void(const CarvedRecord& found)>;
    // Asked, before a record is loaded, whether the caller wants it: loading is most of the work.
    using WantedRecord = std::function<bool(uint64_t position, uint32_t recordSize, const NTFSRecordHeader& header)>;
    // An entry of an index block found, valid during the call.
    using FoundIndexEntry = std::function<void(const NTFSIndexEntry& entry)>;
    struct Sinks {
        FoundRecord record;
        WantedRecord wanted;          // without it, every record is loaded
        FoundIndexEntry indexEntry;   // may be empty
    };

    // Reads `length` bytes of `source` (its start being the volume's); `clusterSize` is what the
    // views' data runs are read at until the caller knows better.
    RecordCarver(const VolumeSource& source, uint64_t length, uint32_t clusterSize, uint32_t blockBytes = 128u << 10);

    // Bytes read when it ended: `length` unless `stop` was set or a read failed. `progress`, when
    // given, follows the bytes read.
    uint64_t Run(const Sinks& sinks, const std::atomic<bool>* stop = nullptr, std::atomic<uint64_t>* progress = nullptr);

    // Where "INDX" headers were seen, in order.
    const std::vector<uint64_t>& IndexBlocks() const { return indexBlocks_; }

private:
    // `bytes` (`size` of them left in the block) when `need` of them are there, else the `need`
    // bytes at `position` read on their own; null when they cannot be read.
    const uint8_t* Whole(const uint8_t* bytes, size_t size, uint64_t position, size_t need);
    void Examine(const uint8_t* bytes, size_t size, uint64_t position, const Sinks& sinks);
    void ExamineIndexBlock(const uint8_t* bytes, size_t size, uint64_t position, const Sinks& sinks);
    // Points record_ at a view of the MFT that starts at `mftStart`.
    void SelectView(uint64_t mftStart, uint32_t recordSize);

    const VolumeSource& source_;
    std::unique_ptr<Device> device_;
    const uint64_t length_;
    const uint32_t clusterSize_;
    const uint32_t blockBytes_;
    std::vector<uint64_t> indexBlocks_;
    std::vector<uint8_t> straddling_;
    std::vector<uint8_t> indexBlock_;  // the last index block, fixed up
    // The view of the last records' MFT: records of one MFT come one after the other.
    std::unique_ptr<NTFSVolume> view_;
    uint64_t viewStart_ = 0;
    uint32_t viewRecordSize_ = 0;
    std::unique_ptr<NTFSFileRecord> record_;
};

}  // namespace Vorlaq

#pragma once
// Finds MFT file records anywhere on a source, whatever file system holds them now: the source is
// read once from start to end, and a record is a "FILE" header at a 512-byte boundary whose
// fix-up checks. Its record number (header 0x2C) places the start of its MFT at position - number
// * record size: the records of one MFT, or of one piece of a fragmented MFT, share that start
// (for a piece that lies before number * record size, a start below the source's, modulo 2^64).
// Index blocks ("INDX") whose fix-up checks are noted by position, with the folder their entries
// name as parent and their VCN in that folder's index, for the geometry of a file system whose
// boot sector is gone, and their entries handed on: a folder's entries name its children, the
// folders among them included, when the children's records are gone. NTFS boot sectors (a
// volume's first sector, or its backup in the volume's last) are noted by position too.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/AlignedBytes.h"
#include "base/LogManager.h"
#include "ntfs/NTFSBootSector.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSIndexEntry.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSVolume.h"
#include "scan/OrderedPool.h"
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

// An index block the carver found: where, which folder's index it belongs to (its first entry's
// parent record number; kNoIndexOwner for a block without named entries), and its VCN there.
constexpr uint64_t kNoIndexOwner = UINT64_MAX;
struct CarvedIndexBlock {
    uint64_t position = 0;
    uint64_t owner = kNoIndexOwner;
    uint64_t vcn = 0;
    bool operator<(const CarvedIndexBlock& other) const { return position < other.position; }
};

// An NTFS boot sector the carver found, and where.
struct CarvedBootSector {
    uint64_t position = 0;
    NTFSBootSector geometry;
};

class RecordCarver {
public:
    // Asked, before a record is loaded, whether the caller wants it: loading is most of the work.
    using WantedRecord = std::function<bool(uint64_t position, uint32_t recordSize, const NTFSRecordHeader& header)>;
    // The source is read block by block, in order, and several workers look through the blocks at
    // once. What a worker makes of the records and index entries of one block goes into that
    // block's `Findings`; the caller takes each block's Findings back in position order.
    template <typename Findings>
    struct Sinks {
        // On a worker: base records, in position order within the block.
        std::function<void(const CarvedRecord& found, Findings& findings)> record;
        WantedRecord wanted;  // on a worker; without it, every record is loaded
        // On a worker: the entries of the block's index blocks, valid during the call, with the
        // position of the index block that holds them; may be empty.
        std::function<void(const NTFSIndexEntry& entry, uint64_t blockPosition, Findings& findings)> indexEntry;
        // On the thread that runs the carver: each block's Findings, block after block.
        std::function<void(Findings& findings)> done;
    };

    // Reads `length` bytes of `source` (its start being the volume's); `clusterSize` is what the
    // views' data runs are read at until the caller knows better.
    RecordCarver(const VolumeSource& source, uint64_t length, uint32_t clusterSize, uint32_t blockBytes = 1024u << 10);
    ~RecordCarver();
    RecordCarver(const RecordCarver&) = delete;
    RecordCarver& operator=(const RecordCarver&) = delete;

    // Bytes read when it ended: `length` unless `stop` was set or a read failed. `workers` threads
    // look through the blocks (with 1, the calling thread). `progress`, when given, follows the
    // bytes whose blocks were handed to `done`.
    template <typename Findings>
    uint64_t Run(const Sinks<Findings>& sinks, size_t workers, const std::atomic<bool>* stop = nullptr,
                 std::atomic<uint64_t>* progress = nullptr);

    // The index blocks seen, in position order.
    const std::vector<CarvedIndexBlock>& IndexBlocks() const { return indexBlocks_; }
    // The boot sectors seen, in position order, up to a bound.
    const std::vector<CarvedBootSector>& BootSectors() const { return bootSectors_; }

private:
    // A stretch of the source as one read returned it, where its index blocks start, and the lines
    // looking through it logged (written when it is handed back, so that they come in order).
    struct Block {
        uint64_t at = 0;
        uint32_t got = 0;
        AlignedBytes bytes;
        std::vector<CarvedIndexBlock> indexBlocks;
        std::vector<CarvedBootSector> bootSectors;
        std::vector<LogLine> log;
    };
    // Looks through blocks on one worker, with a record, a view and buffers of its own.
    class Examiner;
    using RecordSink = std::function<void(const CarvedRecord& found)>;
    using EntrySink = std::function<void(const NTFSIndexEntry& entry, uint64_t blockPosition)>;

    // The next block in order into `block`; false at the end, after a failed read or a short one.
    bool ReadNext(Block& block);
    void MakeExaminers(size_t workers);
    void Examine(Block& block, size_t worker, const WantedRecord& wanted, const RecordSink& record,
                 const EntrySink& indexEntry);
    // Notes a block's index blocks and boot sectors, up to their bounds.
    void NoteStructures(const Block& block);

    const VolumeSource& source_;
    std::unique_ptr<Device> device_;
    const uint64_t length_;
    const uint32_t clusterSize_;
    const uint32_t blockBytes_;
    uint64_t next_ = 0;   // where the next block starts
    bool ended_ = false;  // a read failed or came back short
    std::vector<CarvedIndexBlock> indexBlocks_;
    std::vector<CarvedBootSector> bootSectors_;
    std::vector<std::unique_ptr<Examiner>> examiners_;
};

template <typename Findings>
uint64_t RecordCarver::Run(const Sinks<Findings>& sinks, size_t workers, const std::atomic<bool>* stop,
                           std::atomic<uint64_t>* progress) {
    struct Item {
        Block block;
        Findings findings;
    };
    workers = std::max<size_t>(workers, 1);
    MakeExaminers(workers);
    OrderedPool<Item> pool([&](Item& item) { return !(stop && stop->load()) && ReadNext(item.block); },
                           [&](Item& item, size_t worker) {
                               item.findings = Findings();
                               Findings& findings = item.findings;
                               Examine(
                                   item.block, worker, sinks.wanted,
                                   [&](const CarvedRecord& found) { sinks.record(found, findings); },
                                   sinks.indexEntry ? EntrySink([&](const NTFSIndexEntry& entry, uint64_t at) {
                                       sinks.indexEntry(entry, at, findings);
                                   })
                                                    : EntrySink());
                           },
                           workers, PoolDepth(workers));
    uint64_t read = 0;
    Item item;
    while (pool.Take(item)) {
        LogManager::instance().replay(item.block.log);
        NoteStructures(item.block);
        sinks.done(item.findings);
        read = item.block.at + item.block.got;
        if (progress) progress->store(read, std::memory_order_relaxed);
    }
    return read;
}

}  // namespace Vorlaq

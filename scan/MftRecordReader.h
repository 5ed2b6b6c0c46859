#pragma once
// Reads MFT records for a walk in record order: many records per device read through the $MFT's
// $DATA attribute, each handed to the record object as if it had been read on its own. Where a
// block cannot be read whole, the records in it are read one by one (with the reader's own log
// line for each one that fails), so the results are those of reading every record singly.
// When the $MFT's $DATA is stored plainly (not compressed), the blocks are read ahead on a second
// thread while the walk works through the ones before (the device asked for the bytes further on
// still), and several threads may load records of the blocks they hold at once.
#include <cstdint>
#include <memory>

#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/MftReadAhead.h"

namespace Vorlaq {

class MftRecordReader {
public:
    // `total` bounds the records read; `blockBytes` is rounded down to whole records.
    MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes = 256u << 10);

    // The walk's next stretch of records, from record 16 on, each stretch starting where the one
    // before ended (End); `block`'s old storage is reused. False once the total is reached.
    bool Next(MftBlock& block);
    // The end of the stretch a block covers: after the records it held, or after all the records
    // it asked for when it held none (they are read one by one).
    static uint64_t End(const MftBlock& block) { return block.first + (block.held ? block.held : block.records); }
    // Loads record `number`, which `block` covers, into `record`, like record.ReadFileRecord(number).
    bool Load(const MftBlock& block, NTFSFileRecord& record, uint64_t number) const;
    // The same without copying the record's bytes: they are fixed up where they lie in the block,
    // which the record reads until it is loaded again. Each record of a block is loaded this way
    // at most once.
    bool LoadInPlace(MftBlock& block, NTFSFileRecord& record, uint64_t number) const;
    // Record `number`, which `block` covers, was read in it, its bytes are sound and its header
    // says it is in use, a folder or an extension record: a walk for deleted files passes over it
    // without loading it. Bytes that are not sound are loaded (which logs what is wrong with them).
    static bool IsPassedOver(const MftBlock& block, uint64_t number);
    // Load may run on several threads at once, each with its own record object: reading the $MFT
    // keeps no state between reads.
    bool LoadsInParallel() const { return ahead_ != nullptr; }

private:
    // One read of the block that starts at block.first, and which of its records a walk passes
    // over; safe on the read-ahead thread.
    void ReadBlock(MftBlock& block) const;
    // Asks the device for the $MFT's bytes some way past the block that starts at record `first`;
    // runs on the read-ahead thread only.
    void PrefetchPast(uint64_t first);

    const NTFSVolume& volume_;
    uint64_t total_;
    uint32_t recordSize_;
    uint32_t recordsPerBlock_;
    uint64_t next_ = kNTFSFirstUserRecord;  // where the next stretch starts
    const NTFSAttributeNonResident* stored_ = nullptr;  // the $MFT's $DATA when plainly stored
    uint64_t prefetchedTo_ = 0;                         // the stream's bytes asked for so far end here
    std::unique_ptr<MftReadAhead> ahead_;  // none when the $MFT's $DATA is not plainly stored
};

}  // namespace Vorlaq

#pragma once
// Reads MFT records for a walk in record order: many records per device read through the $MFT's
// $DATA attribute, each handed to the record object as if it had been read on its own. Where a
// block cannot be read whole, the records in it are read one by one (with the reader's own log
// line for each one that fails), so the results are those of reading every record singly.
// When the $MFT's $DATA is stored plainly (not compressed), the blocks are read ahead on a second
// thread while the walk works through the one before.
#include <cstdint>
#include <memory>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/MftReadAhead.h"

namespace Vorlaq {

class MftRecordReader {
public:
    // `total` bounds the records read ahead; `blockBytes` is rounded down to whole records.
    MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes = 256u << 10);

    // Loads record `number` into `record`, like record.ReadFileRecord(number).
    bool Load(NTFSFileRecord& record, uint64_t number);
    // Record `number` was read in a block, its bytes are sound and its header says it is in use,
    // a folder or an extension record: a walk for deleted files passes over it without loading
    // it. Bytes that are not sound are loaded (which logs what is wrong with them).
    bool IsPassedOver(uint64_t number);
    // The bytes of record `number` as read (no fix-up applied), only when it was read in a block
    // and they are sound (NTFSRecordHeader): a second walk over the MFT logs nothing the first
    // one has logged already. Null otherwise; valid until the next call.
    const uint8_t* PeekSound(uint64_t number);

private:
    // The bytes of record `number` as read (file-record size, no fix-up applied), or null when it
    // is not among the records read in blocks (Load then reads it on its own).
    const uint8_t* Peek(uint64_t number);
    bool Fill(uint64_t number);
    // One read of the block that starts at block.first, and which of its records a walk passes
    // over; safe on the read-ahead thread.
    void ReadBlock(MftBlock& block) const;

    const NTFSVolume& volume_;
    uint64_t total_;
    uint32_t recordSize_;
    uint32_t recordsPerBlock_;
    MftBlock block_;            // the records held: block_.held of them from block_.first
    uint64_t singlyUntil_ = 0;  // records below this are read one by one (a block read failed)
    std::unique_ptr<MftReadAhead> ahead_;  // none when the $MFT's $DATA is not plainly stored
};

}  // namespace Vorlaq

#pragma once
// Reads MFT records for a walk in record order: many records per device read through the $MFT's
// $DATA attribute, each handed to the record object as if it had been read on its own. Where a
// block cannot be read whole, the records in it are read one by one (with the reader's own log
// line for each one that fails), so the results are those of reading every record singly.
#include <cstdint>
#include <vector>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

class MftRecordReader {
public:
    // `total` bounds the records read ahead; `blockBytes` is rounded down to whole records.
    MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes = 1u << 20);

    // Loads record `number` into `record`, like record.ReadFileRecord(number).
    bool Load(NTFSFileRecord& record, uint64_t number);
    // The bytes of record `number` as read (file-record size, no fix-up applied), or null when it
    // is not among the records read in blocks (Load then reads it on its own).
    const uint8_t* Peek(uint64_t number);
    uint32_t GetRecordSize() const { return recordSize_; }

private:
    bool Fill(uint64_t number);

    const NTFSVolume& volume_;
    uint64_t total_;
    uint32_t recordSize_;
    uint32_t recordsPerBlock_;
    std::vector<uint8_t> block_;
    uint64_t first_ = 0;   // record number at the start of block_
    uint64_t count_ = 0;   // records of block_ that hold what was read
    uint64_t singlyUntil_ = 0;  // records below this are read one by one (a block read failed)
};

}  // namespace Vorlaq

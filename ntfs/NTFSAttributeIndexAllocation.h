#pragma once
// $INDEX_ALLOCATION: the index blocks ("INDX", update-sequence protected) of a directory index.
// Block header: 0x00 magic, 0x04 update sequence array offset, 0x06 its count, 0x10 u64 VCN,
// 0x18 the node header.
#include <cstdint>
#include <vector>

#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSIndexEntry.h"
#include "ntfs/NTFSSingleList.h"

namespace Vorlaq {

// Where an index block's node header starts.
constexpr size_t kNTFSIndexBlockNodeHeader = 0x18;

class NTFSIndexBlock : public NTFSSingleList<NTFSIndexEntry> {
public:
    std::vector<uint8_t>& Buffer() { return buffer_; }

private:
    std::vector<uint8_t> buffer_;
};

class NTFSAttributeIndexAllocation : public NTFSAttributeNonResident {
public:
    NTFSAttributeIndexAllocation(const ByteReader& attr, NTFSFileRecord* record);

    uint64_t GetIndexBlockCount() const { return blockCount_; }
    // The first block at or after `vcn` with clusters the run list stores on the volume, or the
    // block count. The count comes from the header's data size; walking with this passes sparse
    // runs and runs past the volume's end in one step each, so a hostile size costs nothing.
    uint64_t NextStoredBlock(uint64_t vcn) const;
    // Reads, checks and fixes up block number `vcn` (its bit in the index's $BITMAP; the block at
    // vcn * index-block size in the stream) and walks its entries into `block`.
    bool ReadIndexBlock(uint64_t vcn, NTFSIndexBlock* block);

private:
    uint64_t blockCount_ = 0;
};

}  // namespace Vorlaq

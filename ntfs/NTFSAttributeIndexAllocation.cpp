#include "ntfs/NTFSAttributeIndexAllocation.h"

#include <new>

#include "ntfs/NTFSUpdateSequence.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kIndexMagic = 0x58444E49;  // "INDX"
constexpr size_t kBlockNodeHeader = 0x18;

}  // namespace

NTFSAttributeIndexAllocation::NTFSAttributeIndexAllocation(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeNonResident(attr, record) {
    uint64_t size = GetDataSize();
    if (IsDataRunOK() && indexBlockSize_ != 0 && size % indexBlockSize_ == 0) blockCount_ = size / indexBlockSize_;
}

bool NTFSAttributeIndexAllocation::ReadIndexBlock(uint64_t vcn, NTFSIndexBlock* block) {
    if (!block || vcn >= blockCount_) return false;
    block->RemoveAll();
    std::vector<uint8_t>& buffer = block->Buffer();
    try {
        buffer.assign(indexBlockSize_, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint32_t got = 0;
    // Blocks lie one after another in the stream, whether a block is smaller or larger than a
    // cluster; vcn < blockCount_ keeps the product within the stream's size.
    if (!ReadData(vcn * indexBlockSize_, buffer.data(), indexBlockSize_, &got) || got != indexBlockSize_) return false;
    ByteReader bytes(buffer.data(), buffer.size());
    if (bytes.U32(0x00).value_or(0) != kIndexMagic) return false;
    if (!ApplyUpdateSequence(buffer.data(), buffer.size())) return false;
    ParseIndexEntries(bytes, kBlockNodeHeader, block, false);
    return true;
}

}  // namespace Vorlaq

#include "ntfs/NTFSAttributeIndexAllocation.h"

#include <algorithm>
#include <new>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSUpdateSequence.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kIndexMagic = 0x58444E49;  // "INDX"

}  // namespace

NTFSAttributeIndexAllocation::NTFSAttributeIndexAllocation(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeNonResident(attr, record) {
    uint64_t size = GetDataSize();
    if (IsDataRunOK() && indexBlockSize_ != 0 && size % indexBlockSize_ == 0) blockCount_ = size / indexBlockSize_;
}

uint64_t NTFSAttributeIndexAllocation::NextStoredBlock(uint64_t vcn) const {
    const NTFSVolume* volume = record_ ? record_->GetVolume() : nullptr;
    if (!volume || clusterSize_ == 0 || vcn >= blockCount_) return blockCount_;
    const uint64_t total = volume->GetTotalClusters();
    // Block b spans bytes [b * block size, (b + 1) * block size); vcn < blockCount_ keeps them
    // within the data size, so the products below cannot overflow for blocks that count.
    const uint64_t atCluster = vcn * indexBlockSize_ / clusterSize_;
    const std::vector<tagNTFSDataRunEntry>& runs = GetDataRuns();
    auto run = std::upper_bound(runs.begin(), runs.end(), atCluster,
                                [](uint64_t v, const tagNTFSDataRunEntry& r) { return v < r.StartVCN; });
    if (run != runs.begin()) --run;
    for (; run != runs.end(); ++run) {
        if (run->LCN < 0 || run->Clusters == 0 || static_cast<uint64_t>(run->LCN) >= total) continue;
        const uint64_t storedEnd = run->StartVCN + std::min(run->Clusters, total - static_cast<uint64_t>(run->LCN));
        if (storedEnd <= atCluster) continue;
        uint64_t firstByte = 0;
        if (__builtin_mul_overflow(run->StartVCN, uint64_t{clusterSize_}, &firstByte)) return blockCount_;
        return std::min(blockCount_, std::max(vcn, firstByte / indexBlockSize_));
    }
    return blockCount_;
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
    ParseIndexEntries(bytes, kNTFSIndexBlockNodeHeader, block, false);
    return true;
}

}  // namespace Vorlaq

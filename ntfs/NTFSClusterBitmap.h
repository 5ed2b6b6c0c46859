#pragma once
// The volume's cluster allocation bitmap: the unnamed $DATA of $Bitmap (record 6), one bit per
// cluster, bit (n % 8) of byte (n / 8) set while cluster n is in use. Read through the record
// reader like any other stream: whole when it is small enough (64 MiB covers 2 TiB of 4 KiB
// clusters), else block by block as the questions reach it, keeping the last 256 blocks read.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Vorlaq {

class NTFSAttributeBase;
class NTFSFileRecord;
class NTFSVolume;

class NTFSClusterBitmap {
public:
    static constexpr uint64_t kWholeLimit = 64ull * 1024 * 1024;
    // Small blocks: a file's runs rarely need more than one, and a block the cache dropped costs
    // little to read again.
    static constexpr uint32_t kBlockBytes = 64u * 1024;
    static constexpr size_t kCachedBlocks = 256;  // 16 MiB of default blocks

    // Reads the bitmap at once when it is at most `wholeLimit` bytes; a larger one is read in
    // blocks of `blockBytes` (rounded up to whole 64-bit words) when asked about, keeping the
    // last `cachedBlocks` read.
    explicit NTFSClusterBitmap(const NTFSVolume& volume, uint64_t wholeLimit = kWholeLimit,
                               uint32_t blockBytes = kBlockBytes, size_t cachedBlocks = kCachedBlocks);
    ~NTFSClusterBitmap();
    NTFSClusterBitmap(const NTFSClusterBitmap&) = delete;
    NTFSClusterBitmap& operator=(const NTFSClusterBitmap&) = delete;

    // Record 6 was read and its stream covers every cluster of the volume (until a block of a
    // bitmap read in blocks fails to read).
    bool IsReadable() const { return readable_; }
    bool IsHeldWhole() const { return whole_; }
    uint64_t GetClusters() const { return clusters_; }

    // How many of the clusters [lcn, lcn + count) are in use. Clusters at or past the volume's
    // end count as in use: no file's data can lie there. Nothing when the bitmap is not readable
    // or a block of it that the range needs could not be read. Safe on several threads at once.
    std::optional<uint64_t> CountInUse(uint64_t lcn, uint64_t count);

private:
    struct Block {
        uint64_t index = UINT64_MAX;
        std::vector<uint8_t> bytes;
    };

    bool ReadWhole();
    // The block holding byte `index * blockBytes_` onwards, read on first use; null on failure.
    const Block* GetBlock(uint64_t index);
    bool ReadBytes(uint64_t offset, uint8_t* buffer, uint64_t length);

    std::unique_ptr<NTFSFileRecord> record_;
    NTFSAttributeBase* data_ = nullptr;  // owned by record_
    std::atomic<bool> readable_{false};  // asked without the lock
    bool whole_ = false;
    uint64_t clusters_ = 0;
    uint64_t bytes_ = 0;       // bitmap bytes that speak for the volume's clusters
    uint64_t blockBytes_ = 0;  // the whole bitmap's size when held whole
    size_t cachedBlocks_;
    std::vector<Block> cache_;
    size_t nextSlot_ = 0;
    std::mutex lock_;  // guards the cache and readable_ of a bitmap read in blocks
};

// Set bits among bits [first, first + count) of `bytes` (bit n is bit n % 8 of byte n / 8);
// the range must lie inside the buffer. Counts 64 bits at a time over the aligned middle.
uint64_t CountSetBits(const uint8_t* bytes, uint64_t first, uint64_t count);

}  // namespace Vorlaq

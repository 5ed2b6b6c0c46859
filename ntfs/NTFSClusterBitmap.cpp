#include "ntfs/NTFSClusterBitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "base/LogManager.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kBitmapRecord = 6;
constexpr uint32_t kReadPiece = 1u << 20;  // one ReadData call at most

uint64_t CountByteBits(uint8_t byte) { return static_cast<uint64_t>(std::popcount(byte)); }

}  // namespace

uint64_t CountSetBits(const uint8_t* bytes, uint64_t first, uint64_t count) {
    if (count == 0) return 0;
    uint64_t total = 0;
    uint64_t byte = first / 8;
    const uint64_t end = first + count;  // exclusive bit
    const uint64_t lastByte = (end - 1) / 8;
    const unsigned head = static_cast<unsigned>(first % 8);
    if (byte == lastByte) {
        const unsigned width = static_cast<unsigned>(count);
        const uint8_t mask = static_cast<uint8_t>(((1u << width) - 1u) << head);
        return CountByteBits(bytes[byte] & mask);
    }
    if (head) {
        total += CountByteBits(static_cast<uint8_t>(bytes[byte] & (0xFFu << head)));
        ++byte;
    }
    // Whole bytes up to the last one (handled below with its mask); words where they fit.
    for (; byte < lastByte && byte % 8; ++byte) total += CountByteBits(bytes[byte]);
    for (; byte + 8 <= lastByte; byte += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + byte, sizeof word);
        total += static_cast<uint64_t>(std::popcount(word));
    }
    for (; byte < lastByte; ++byte) total += CountByteBits(bytes[byte]);
    const unsigned tail = static_cast<unsigned>(end - lastByte * 8);  // 1..8 bits of the last byte
    total += CountByteBits(static_cast<uint8_t>(bytes[lastByte] & ((1u << tail) - 1u)));
    return total;
}

NTFSClusterBitmap::NTFSClusterBitmap(const NTFSVolume& volume, uint64_t wholeLimit, uint32_t blockBytes,
                                     size_t cachedBlocks)
    : cachedBlocks_(std::max<size_t>(cachedBlocks, 1)) {
    clusters_ = volume.GetTotalClusters();
    bytes_ = (clusters_ + 7) / 8;
    record_ = std::make_unique<NTFSFileRecord>(&volume);
    record_->SetAttrMask(kNTFSMaskData);
    if (clusters_ == 0 || !record_->ReadFileRecord(kBitmapRecord) || !record_->ParseAttrs()) {
        LogManager::instance().print(LogLevel::Error, L"Failed to read the cluster bitmap. ");
        return;
    }
    data_ = record_->FindStream(nullptr);
    if (!data_ || !data_->IsDataRunOK() || data_->GetDataSize() < bytes_) {
        LogManager::instance().print(LogLevel::Error, L"The cluster bitmap does not cover the volume. ");
        return;
    }
    whole_ = bytes_ <= wholeLimit;
    blockBytes_ = whole_ ? bytes_ : (std::max<uint64_t>(blockBytes, 8) + 7) / 8 * 8;
    readable_ = whole_ ? ReadWhole() : true;
}

NTFSClusterBitmap::~NTFSClusterBitmap() = default;

bool NTFSClusterBitmap::ReadBytes(uint64_t offset, uint8_t* buffer, uint64_t length) {
    while (length > 0) {
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(length, kReadPiece));
        uint32_t got = 0;
        if (!data_->ReadData(offset, buffer, piece, &got) || got != piece) return false;
        offset += piece;
        buffer += piece;
        length -= piece;
    }
    return true;
}

bool NTFSClusterBitmap::ReadWhole() {
    Block block;
    try {
        block.bytes.resize(static_cast<size_t>(bytes_));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ReadBytes(0, block.bytes.data(), bytes_)) {
        LogManager::instance().print(LogLevel::Error, L"Failed to read the cluster bitmap. ");
        return false;
    }
    block.index = 0;
    cache_.push_back(std::move(block));
    return true;
}

const NTFSClusterBitmap::Block* NTFSClusterBitmap::GetBlock(uint64_t index) {
    for (const Block& block : cache_)
        if (block.index == index) return &block;
    if (whole_) return nullptr;
    const uint64_t offset = index * blockBytes_;
    const uint64_t length = std::min(blockBytes_, bytes_ - offset);
    Block* slot = nullptr;
    // When the cache is full, the oldest block read makes room for the next.
    if (cache_.size() < cachedBlocks_) {
        slot = &cache_.emplace_back();
    } else {
        slot = &cache_[nextSlot_];
        nextSlot_ = (nextSlot_ + 1) % cachedBlocks_;
    }
    slot->index = UINT64_MAX;
    try {
        slot->bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!ReadBytes(offset, slot->bytes.data(), length)) {
        // One line, not one per file: what is left of the scan gets no answers from the bitmap.
        LogManager::instance().print(LogLevel::Error, L"Failed to read the cluster bitmap. ");
        readable_ = false;
        return nullptr;
    }
    slot->index = index;
    return slot;
}

std::optional<uint64_t> NTFSClusterBitmap::CountInUse(uint64_t lcn, uint64_t count) {
    // A bitmap held whole is only read from here on; one read in blocks changes its cache.
    std::unique_lock<std::mutex> hold(lock_, std::defer_lock);
    if (!whole_) hold.lock();
    if (!readable_) return std::nullopt;
    uint64_t inUse = 0;
    if (lcn >= clusters_) return count;
    if (count > clusters_ - lcn) {
        inUse += count - (clusters_ - lcn);
        count = clusters_ - lcn;
    }
    const uint64_t bitsPerBlock = blockBytes_ * 8;
    while (count > 0) {
        const uint64_t index = lcn / bitsPerBlock;
        const Block* block = GetBlock(index);
        if (!block) return std::nullopt;
        const uint64_t first = lcn - index * bitsPerBlock;
        const uint64_t n = std::min(count, bitsPerBlock - first);
        inUse += CountSetBits(block->bytes.data(), first, n);
        lcn += n;
        count -= n;
    }
    return inUse;
}

}  // namespace Vorlaq

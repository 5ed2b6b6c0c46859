#include "scan/RecordCarver.h"

#include <algorithm>

#include "base/AlignedBytes.h"
#include "base/ByteReader.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSUpdateSequence.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kFileMagic = 0x454C4946;   // "FILE"
constexpr uint32_t kIndexMagic = 0x58444E49;  // "INDX"
constexpr uint32_t kStep = 512;               // records and index blocks start on sector boundaries
constexpr uint32_t kLargestRecord = 64u << 10;
// The record number at 0x2C exists only where the update-sequence array starts after it (NTFS 3.1).
constexpr uint16_t kNumberedUsaOffset = 0x30;
// Index blocks noted at most: 32 MiB of positions, more than enough to tell a cluster size, however
// many sectors of a hostile source look like one.
constexpr size_t kMostIndexBlocks = 4u << 20;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The record's size from its header, when a record can be that large: whole 512-byte blocks and a
// power of two up to 64 KiB, with the update-sequence array after the record number.
uint32_t RecordSizeOf(const ByteReader& header) {
    const uint32_t allocated = header.U32(0x1C).value_or(0);
    const uint16_t usaOffset = header.U16(0x04).value_or(0);
    if (!IsPowerOfTwo(allocated) || allocated < kStep || allocated > kLargestRecord) return 0;
    if (usaOffset < kNumberedUsaOffset) return 0;
    return allocated;
}

}  // namespace

RecordCarver::RecordCarver(const VolumeSource& source, uint64_t length, uint32_t clusterSize, uint32_t blockBytes)
    : source_(source), device_(source.OpenDevice()), length_(length), clusterSize_(clusterSize ? clusterSize : 4096),
      blockBytes_(std::max(blockBytes / kStep, 1u) * kStep) {}

const uint8_t* RecordCarver::Whole(const uint8_t* bytes, size_t size, uint64_t position, size_t need) {
    if (need <= size) return bytes;
    // A structure that runs past this block is read on its own: rare, and a block stays small.
    straddling_.resize(need);
    uint32_t got = 0;
    if (!device_->ReadAt(position, straddling_.data(), static_cast<uint32_t>(need), &got) || got != need) return nullptr;
    return straddling_.data();
}

void RecordCarver::SelectView(uint64_t mftStart, uint32_t recordSize) {
    if (!view_ || viewStart_ != mftStart || viewRecordSize_ != recordSize) {
        record_.reset();
        view_ = source_.OldFileSystem(mftStart, recordSize, clusterSize_).Open();
        viewStart_ = mftStart;
        viewRecordSize_ = recordSize;
        record_ = std::make_unique<NTFSFileRecord>(view_.get());
    }
}

void RecordCarver::ExamineIndexBlock(const uint8_t* bytes, size_t size, uint64_t position, const Sinks& sinks) {
    // Its size is what its update-sequence array covers; the fix-up must check over it.
    const uint16_t count = ByteReader(bytes, size).U16(0x06).value_or(0);
    const size_t blockSize = count > 1 ? size_t{count - 1u} * kStep : 0;
    if (blockSize == 0 || blockSize > kLargestRecord || indexBlocks_.size() >= kMostIndexBlocks) return;
    const uint8_t* block = Whole(bytes, size, position, blockSize);
    if (!block) return;
    indexBlock_.assign(block, block + blockSize);
    if (!ApplyUpdateSequence(indexBlock_.data(), blockSize)) return;
    indexBlocks_.push_back(position);
    if (!sinks.indexEntry) return;
    ForEachIndexEntry(ByteReader(indexBlock_.data(), blockSize), kNTFSIndexBlockNodeHeader, [&](const ByteReader& bytes) {
        sinks.indexEntry(NTFSIndexEntry(bytes, false));
        return true;
    });
}

void RecordCarver::Examine(const uint8_t* bytes, size_t size, uint64_t position, const Sinks& sinks) {
    ByteReader header(bytes, size);
    const uint32_t magic = header.U32(0).value_or(0);
    if (magic == kIndexMagic) {
        ExamineIndexBlock(bytes, size, position, sinks);
        return;
    }
    if (magic != kFileMagic || size < kNumberedUsaOffset) return;
    const uint32_t recordSize = RecordSizeOf(header);
    if (recordSize == 0) return;
    const uint64_t number = header.U32(0x2C).value_or(0);
    bytes = Whole(bytes, size, position, recordSize);
    if (!bytes) return;
    // Checked on the stored bytes first (fix-up included), so that only a sound record is loaded (which logs).
    const NTFSRecordHeader fields = ReadRecordHeader(bytes, recordSize);
    if (!fields.sound || fields.baseRef != 0) return;
    if (sinks.wanted && !sinks.wanted(position, recordSize, fields)) return;

    const uint64_t mftStart = position - number * recordSize;
    SelectView(mftStart, recordSize);
    NTFSFileRecord& record = *record_;
    record.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData | NTFSAttrMaskBit(kNTFSAttrIndexAllocation));
    if (!record.LoadFileRecord(number, bytes, recordSize)) return;
    record.ParseAttrs();
    sinks.record({position, mftStart, recordSize, &record});
}

uint64_t RecordCarver::Run(const Sinks& sinks, const std::atomic<bool>* stop, std::atomic<uint64_t>* progress) {
    // Small blocks read in turn, each looked through while it is still in the processor's cache:
    // measured faster than large blocks read ahead on a second thread, as the system reads ahead
    // of a sequential reader itself.
    AlignedBytes block(blockBytes_);
    uint64_t read = 0;
    while (read < length_ && device_) {
        if (stop && stop->load()) break;
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(blockBytes_, length_ - read));
        uint32_t got = 0;
        if (!device_->ReadAt(read, block.data(), want, &got) || got == 0) break;
        for (size_t offset = 0; offset + 4 <= got; offset += kStep)
            Examine(block.data() + offset, got - offset, read + offset, sinks);
        read += got;
        if (progress) progress->store(read, std::memory_order_relaxed);
        if (got < want) break;  // the source ended early
    }
    return read;
}

}  // namespace Vorlaq

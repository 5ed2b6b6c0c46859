#include "scan/RecordCarver.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
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
constexpr uint32_t kReadPiece = 1u << 20;
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

NTFSBootSector RecordCarver::ViewGeometry(uint64_t mftStart, uint32_t recordSize, uint32_t clusterSize) {
    NTFSBootSector geometry;
    geometry.sectorSize = kStep;
    geometry.clusterSize = clusterSize;
    geometry.fileRecordSize = recordSize;
    geometry.mftAddr = mftStart;
    return geometry;
}

void RecordCarver::ReadBlock(MftBlock& block) const {
    // A record that starts near the block's end is read whole with it.
    const uint64_t start = block.first * blockBytes_;
    const uint64_t want = std::min<uint64_t>(uint64_t{blockBytes_} + kLargestRecord, length_ - start);
    block.records = 1;
    block.held = 0;
    block.bytes.resize(want);
    uint64_t got = 0;
    while (got < want) {
        uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(kReadPiece, want - got));
        uint32_t delivered = 0;
        if (!device_ || !device_->ReadAt(start + got, block.bytes.data() + got, piece, &delivered) || delivered == 0) break;
        got += delivered;
    }
    block.bytes.resize(got);
    block.held = got != 0 ? 1 : 0;
}

NTFSVolume& RecordCarver::ViewAt(uint64_t mftStart, uint32_t recordSize) {
    if (!view_ || viewStart_ != mftStart || viewRecordSize_ != recordSize) {
        record_.reset();
        view_ = source_.OldFileSystem(ViewGeometry(mftStart, recordSize, clusterSize_), 0).Open();
        viewStart_ = mftStart;
        viewRecordSize_ = recordSize;
        record_ = std::make_unique<NTFSFileRecord>(view_.get());
    }
    return *view_;
}

void RecordCarver::Examine(const uint8_t* bytes, size_t size, uint64_t position, const FoundRecord& found) {
    ByteReader header(bytes, size);
    const uint32_t magic = header.U32(0).value_or(0);
    if (magic == kIndexMagic) {
        // Its size is what its update-sequence array covers; the fix-up must check over it.
        const uint16_t count = header.U16(0x06).value_or(0);
        const size_t blockSize = count > 1 ? size_t{count - 1u} * kStep : 0;
        if (blockSize != 0 && blockSize <= size && CheckUpdateSequence(bytes, blockSize) &&
            indexBlocks_.size() < kMostIndexBlocks)
            indexBlocks_.push_back(position);
        return;
    }
    if (magic != kFileMagic) return;
    const uint32_t recordSize = RecordSizeOf(header);
    if (recordSize == 0 || recordSize > size) return;
    const uint64_t number = header.U32(0x2C).value_or(UINT32_MAX);
    if (number > position / recordSize) return;
    // Checked on the stored bytes first, so that only a sound record is loaded (which logs).
    if (!CheckUpdateSequence(bytes, recordSize)) return;
    const NTFSRecordHeader fields = ReadRecordHeader(bytes, recordSize);
    if (!fields.sound || fields.baseRef != 0) return;

    const uint64_t mftStart = position - number * recordSize;
    ViewAt(mftStart, recordSize);
    NTFSFileRecord& record = *record_;
    record.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData | NTFSAttrMaskBit(kNTFSAttrIndexAllocation));
    if (!record.LoadFileRecord(number, bytes, recordSize)) return;
    record.ParseAttrs();
    found({position, mftStart, recordSize, &record});
}

uint64_t RecordCarver::Run(const FoundRecord& found, const std::atomic<bool>* stop, std::atomic<uint64_t>* progress) {
    const uint64_t blocks = length_ / blockBytes_ + (length_ % blockBytes_ ? 1 : 0);
    MftReadAhead ahead([this](MftBlock& block) { ReadBlock(block); }, blocks, 4);
    MftBlock block;
    uint64_t read = 0;
    for (uint64_t index = 0; index < blocks; ++index) {
        if (stop && stop->load()) break;
        if (!ahead.Take(index, block)) {
            block.first = index;
            ReadBlock(block);
        }
        if (!block.held) break;
        const uint64_t start = index * blockBytes_;
        const size_t scanned = std::min<size_t>(block.bytes.size(), blockBytes_);
        for (size_t offset = 0; offset + 4 <= scanned; offset += kStep)
            Examine(block.bytes.data() + offset, block.bytes.size() - offset, start + offset, found);
        read = start + scanned;
        if (progress) progress->store(read, std::memory_order_relaxed);
        if (scanned < blockBytes_) break;  // the source ended early
    }
    return read;
}

}  // namespace Vorlaq

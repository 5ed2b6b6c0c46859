#include "scan/MftRecordReader.h"

#include <algorithm>

#include "ntfs/NTFSRecordHeader.h"

namespace Vorlaq {

namespace {

// How far past the block being read the device is asked to fetch the $MFT's bytes, in steps of
// kPrefetchStep. The platform's own read-ahead starts small again at every fragment of a
// fragmented $MFT, which leaves a cold disk idle between reads; asked ahead, it stays busy.
constexpr uint64_t kPrefetchAhead = 32u << 20;
constexpr uint64_t kPrefetchStep = 8u << 20;

}  // namespace

MftRecordReader::MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes)
    : volume_(volume), total_(total), recordSize_(volume.GetFileRecordSize()) {
    recordsPerBlock_ = recordSize_ ? std::max<uint32_t>(1, blockBytes / recordSize_) : 1;
    // Reading a compressed stream goes through a cache of its last unit: that stream is read on
    // the walk's thread alone.
    const auto* stored = dynamic_cast<const NTFSAttributeNonResident*>(volume.GetMFTData());
    if (stored && !stored->IsCompressedStream() && recordSize_ != 0) {
        stored_ = stored;
        ahead_ = std::make_unique<MftReadAhead>(
            [this](MftBlock& block) {
                PrefetchPast(block.first);
                ReadBlock(block);
            },
            total_);
    }
}

bool MftRecordReader::Next(MftBlock& block) {
    if (next_ >= total_) return false;
    if (!ahead_ || !ahead_->Take(next_, block)) {
        block.first = next_;
        ReadBlock(block);
    }
    next_ = End(block);
    return true;
}

bool MftRecordReader::Load(const MftBlock& block, NTFSFileRecord& record, uint64_t number) const {
    if (number - block.first >= block.held) return record.ReadFileRecord(number);
    return record.LoadFileRecord(number, block.bytes.data() + (number - block.first) * recordSize_, recordSize_);
}

bool MftRecordReader::LoadInPlace(MftBlock& block, NTFSFileRecord& record, uint64_t number) const {
    if (number - block.first >= block.held) return record.ReadFileRecord(number);
    return record.LoadFileRecordInPlace(number, block.bytes.data() + (number - block.first) * recordSize_,
                                        recordSize_);
}

bool MftRecordReader::IsPassedOver(const MftBlock& block, uint64_t number) {
    return number - block.first < block.held && block.passOver[number - block.first] != 0;
}

void MftRecordReader::PrefetchPast(uint64_t first) {
    if (first > UINT64_MAX / recordSize_) return;
    const uint64_t from = first * recordSize_;
    const uint64_t size = stored_->GetDataSize();
    if (from >= size) return;
    // A walk that starts over elsewhere starts the asking over there.
    if (prefetchedTo_ < from || prefetchedTo_ - from > kPrefetchAhead + kPrefetchStep) prefetchedTo_ = from;
    if (prefetchedTo_ - from >= kPrefetchAhead || prefetchedTo_ >= size) return;
    const uint64_t end = std::min(size, from + kPrefetchAhead + kPrefetchStep);
    stored_->Prefetch(prefetchedTo_, end - prefetchedTo_);
    prefetchedTo_ = end;
}

void MftRecordReader::ReadBlock(MftBlock& block) const {
    block.held = 0;
    block.records = std::min<uint64_t>(recordsPerBlock_, total_ - block.first);
    // Without a record size or an MFT to read through, every record is read on its own (and fails).
    if (recordSize_ == 0 || !volume_.HasMFTData() || block.first > UINT64_MAX / recordSize_) return;
    const uint32_t bytes = static_cast<uint32_t>(block.records * recordSize_);
    if (block.bytes.size() < bytes) block.bytes.resize(bytes);
    uint32_t delivered = 0;
    NTFSAttributeBase* mft = volume_.GetMFTData();
    if (!mft->ReadData(block.first * recordSize_, block.bytes.data(), bytes, &delivered) || delivered < recordSize_)
        return;
    block.held = delivered / recordSize_;
    block.passOver.resize(block.held);
    for (uint64_t i = 0; i < block.held; ++i) {
        const NTFSRecordHeader header = ReadRecordHeader(block.bytes.data() + i * recordSize_, recordSize_);
        block.passOver[i] = header.sound && !header.IsDeletedFile();
    }
}

}  // namespace Vorlaq

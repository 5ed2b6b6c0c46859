#include "scan/MftRecordReader.h"

#include <algorithm>

#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSRecordHeader.h"

namespace Vorlaq {

MftRecordReader::MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes)
    : volume_(volume), total_(total), recordSize_(volume.GetFileRecordSize()) {
    recordsPerBlock_ = recordSize_ ? std::max<uint32_t>(1, blockBytes / recordSize_) : 1;
    // Reading a compressed stream goes through a cache of its last unit: that stream is read on
    // the walk's thread alone.
    const auto* stored = dynamic_cast<const NTFSAttributeNonResident*>(volume.GetMFTData());
    if (stored && !stored->IsCompressedStream() && recordSize_ != 0)
        ahead_ = std::make_unique<MftReadAhead>([this](MftBlock& block) { ReadBlock(block); }, total_);
}

bool MftRecordReader::Load(NTFSFileRecord& record, uint64_t number) {
    const uint8_t* bytes = Peek(number);
    return bytes ? record.LoadFileRecord(number, bytes, recordSize_) : record.ReadFileRecord(number);
}

const uint8_t* MftRecordReader::PeekSound(uint64_t number) {
    const uint8_t* bytes = Peek(number);
    return bytes && ReadRecordHeader(bytes, recordSize_).sound ? bytes : nullptr;
}

bool MftRecordReader::IsPassedOver(uint64_t number) {
    return Peek(number) && block_.passOver[number - block_.first] != 0;
}

const uint8_t* MftRecordReader::Peek(uint64_t number) {
    bool held = number >= block_.first && number - block_.first < block_.held;
    // The volume's own records are read one by one at the MFT's address, through no block.
    if (!held && number >= singlyUntil_ && number >= kNTFSFirstUserRecord && volume_.HasMFTData())
        held = Fill(number);
    return held ? block_.bytes.data() + (number - block_.first) * recordSize_ : nullptr;
}

bool MftRecordReader::Fill(uint64_t number) {
    block_.held = 0;
    if (recordSize_ == 0 || number >= total_) return false;
    if (!ahead_ || !ahead_->Take(number, block_)) {
        block_.first = number;
        ReadBlock(block_);
    }
    // This stretch is read record by record, so each bad record is found and logged.
    if (block_.held == 0) singlyUntil_ = number + block_.records;
    return block_.held != 0;
}

void MftRecordReader::ReadBlock(MftBlock& block) const {
    block.held = 0;
    block.records = std::min<uint64_t>(recordsPerBlock_, total_ - block.first);
    if (block.first > UINT64_MAX / recordSize_) return;
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

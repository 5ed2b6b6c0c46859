#include "scan/MftRecordReader.h"

#include <algorithm>

#include "ntfs/NTFSAttribute.h"

namespace Vorlaq {

namespace {
constexpr uint64_t kFirstMappedRecord = 16;  // records below this are read at the MFT address
}

MftRecordReader::MftRecordReader(const NTFSVolume& volume, uint64_t total, uint32_t blockBytes)
    : volume_(volume), total_(total), recordSize_(volume.GetFileRecordSize()) {
    recordsPerBlock_ = recordSize_ ? std::max<uint32_t>(1, blockBytes / recordSize_) : 1;
}

bool MftRecordReader::Load(NTFSFileRecord& record, uint64_t number) {
    const uint8_t* bytes = Peek(number);
    return bytes ? record.LoadFileRecord(number, bytes, recordSize_) : record.ReadFileRecord(number);
}

const uint8_t* MftRecordReader::Peek(uint64_t number) {
    bool held = number >= first_ && number - first_ < count_;
    if (!held && number >= singlyUntil_ && number >= kFirstMappedRecord && volume_.HasMFTData())
        held = Fill(number);
    return held ? block_.data() + (number - first_) * recordSize_ : nullptr;
}

bool MftRecordReader::Fill(uint64_t number) {
    count_ = 0;
    if (recordSize_ == 0 || number >= total_) return false;
    uint64_t records = std::min<uint64_t>(recordsPerBlock_, total_ - number);
    if (number > UINT64_MAX / recordSize_) return false;
    uint32_t bytes = static_cast<uint32_t>(records * recordSize_);
    if (block_.size() < bytes) block_.resize(bytes);
    uint32_t delivered = 0;
    const uint64_t offset = number * recordSize_;
    NTFSAttributeBase* mft = volume_.GetMFTData();
    if (!mft->ReadData(offset, block_.data(), bytes, &delivered) || delivered < recordSize_) {
        // This stretch is read record by record, so each bad record is found and logged.
        singlyUntil_ = number + records;
        return false;
    }
    first_ = number;
    count_ = delivered / recordSize_;
    return true;
}

}  // namespace Vorlaq

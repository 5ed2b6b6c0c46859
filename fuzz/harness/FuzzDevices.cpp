#include "fuzz/harness/FuzzDevices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace QuorretFuzz {

bool ViewDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    if (!data_ || offset >= size_) return true;
    size_t n = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
    std::memcpy(buffer, data_ + offset, n);
    *delivered = static_cast<uint32_t>(n);
    return true;
}

ScratchVolume::ScratchVolume(QuorretTest::VolumeImage::Geometry geometry) : geometry_(geometry), image_(geometry) {
    uint64_t mftEnd = geometry.mftCluster + (geometry.records * geometry.recordSize) / geometry.clusterSize + 2;
    if (mftEnd > kDataLcn) {
        std::fprintf(stderr, "ScratchVolume: the MFT reaches into the data area\n");
        std::abort();
    }
    image_.WriteAt(kDataLcn * geometry.clusterSize, QuorretTest::Bytes(DataAreaSize(), 0));
    original_ = *image_.Build();
    bytes_ = original_;
    auto device = std::make_unique<ViewDevice>(bytes_.data(), bytes_.size());
    device_ = device.get();
    volume_ = std::make_unique<Vorlaq::NTFSVolume>(std::move(device), L"F:\\");
    if (!volume_->IsVolumeOK() || !volume_->HasMFTData()) {
        std::fprintf(stderr, "ScratchVolume: the synthetic volume does not open\n");
        std::abort();
    }
}

void ScratchVolume::SetRecord(uint64_t number, const uint8_t* bytes, size_t size) {
    const uint32_t recordSize = geometry_.recordSize;
    for (uint32_t i = 0; i < recordSize; ++i) {
        size_t at = static_cast<size_t>(image_.MftByteOnVolume(number * recordSize + i));
        bytes_[at] = bytes ? (i < size ? bytes[i] : 0) : original_[at];
    }
}

void ScratchVolume::SetData(const uint8_t* bytes, size_t size) {
    uint8_t* area = bytes_.data() + kDataLcn * geometry_.clusterSize;
    size_t n = std::min(size, DataAreaSize());
    if (n) std::memcpy(area, bytes, n);
    std::memset(area + n, 0, DataAreaSize() - n);
}

void ScratchVolume::ServeInstead(const uint8_t* bytes, size_t size) {
    if (bytes)
        device_->Serve(bytes, size);
    else
        device_->Serve(bytes_.data(), bytes_.size());
}

}  // namespace QuorretFuzz

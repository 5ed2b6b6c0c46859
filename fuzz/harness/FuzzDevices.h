#pragma once
// Devices and volumes the fuzz targets read through.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/os/Device.h"
#include "ntfs/NTFSVolume.h"
#include "tests/support/VolumeImage.h"

namespace QuorretFuzz {

// Reads from bytes it does not own (the fuzz input); a read past the end succeeds short, as an
// image file's would.
class ViewDevice : public Vorlaq::Device {
public:
    ViewDevice(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    void Serve(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
    }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// A synthetic volume opened once per process, whose bytes a target overwrites before each run:
// record slots in the MFT and a data area of clusters from kDataLcn on. Between runs every slot
// and the data area are written whole again, so nothing of one input leaks into the next.
class ScratchVolume {
public:
    static constexpr uint64_t kDataLcn = 64;
    static constexpr uint64_t kDataClusters = 16;

    explicit ScratchVolume(QuorretTest::VolumeImage::Geometry geometry);

    Vorlaq::NTFSVolume& Volume() { return *volume_; }
    uint32_t RecordSize() const { return geometry_.recordSize; }
    uint32_t ClusterSize() const { return geometry_.clusterSize; }
    size_t DataAreaSize() const { return kDataClusters * geometry_.clusterSize; }

    // Record `number` becomes `size` bytes of `bytes` (raw, fix-up included) padded with zeros;
    // null bytes put back the record the image was built with.
    void SetRecord(uint64_t number, const uint8_t* bytes, size_t size);
    // The data area becomes `bytes`, padded with zeros.
    void SetData(const uint8_t* bytes, size_t size);
    // Reads come from `bytes` instead of the image (null: from the image again).
    void ServeInstead(const uint8_t* bytes, size_t size);

private:
    QuorretTest::VolumeImage::Geometry geometry_;
    QuorretTest::VolumeImage image_;
    std::vector<uint8_t> original_;
    std::vector<uint8_t> bytes_;
    ViewDevice* device_ = nullptr;  // owned by volume_
    std::unique_ptr<Vorlaq::NTFSVolume> volume_;
};

}  // namespace QuorretFuzz

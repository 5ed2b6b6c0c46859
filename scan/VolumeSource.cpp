#include "scan/VolumeSource.h"

#include <algorithm>

#include "ntfs/NTFSVolume.h"
#include "scan/FileSystem.h"

namespace Vorlaq {

namespace {

// An old file system's view of the source: clusters from the old volume's start, and its records
// in a window high above them, where record N lies at the window's start + N * record size. The
// window maps onto the source at the MFT's start, so that the records of an MFT piece lying
// before N * record size are read too.
constexpr uint64_t kRecordWindow = uint64_t{1} << 62;

class RecordWindowDevice : public Device {
public:
    RecordWindowDevice(std::unique_ptr<Device> inner, uint64_t mftStart, uint64_t volumeStart)
        : inner_(std::move(inner)), mftStart_(mftStart), volumeStart_(volumeStart) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        if (offset >= kRecordWindow) return inner_->ReadAt(offset - kRecordWindow + mftStart_, buffer, length, delivered);
        const uint32_t below = static_cast<uint32_t>(std::min<uint64_t>(length, kRecordWindow - offset));
        // Below the window, so the sum stays far from 2^64 for any start a source can have.
        return inner_->ReadAt(offset + volumeStart_, buffer, below, delivered);
    }
    std::vector<DamagedSpan> KnownDamage() override { return inner_->KnownDamage(); }

private:
    std::unique_ptr<Device> inner_;
    const uint64_t mftStart_;
    const uint64_t volumeStart_;
};

}  // namespace

VolumeSource VolumeSource::FromText(const std::wstring& volumeText) {
    VolumeSource source;
    if (volumeText.empty()) return source;
    source.kind_ = Kind::Drive;
    source.text_ = volumeText;
    return source;
}

VolumeSource VolumeSource::FromImage(const std::wstring& path, uint64_t offset, const std::wstring& volumeText,
                                     std::optional<uint64_t> length) {
    VolumeSource source;
    source.kind_ = Kind::Image;
    source.text_ = volumeText;
    source.imagePath_ = path;
    source.offset_ = offset;
    source.length_ = length;
    return source;
}

VolumeSource VolumeSource::FromDevice(DeviceFactory factory, const std::wstring& volumeText) {
    VolumeSource source;
    source.kind_ = factory ? Kind::Factory : Kind::None;
    source.text_ = volumeText;
    source.factory_ = std::move(factory);
    return source;
}

std::shared_ptr<Device> VolumeSource::OpenedDevice() const {
    std::call_once(opened_->once, [this] {
        std::unique_ptr<Device> device;
        switch (kind_) {
        case Kind::Drive: device = NTFSVolume::OpenDrive(text_[0]); break;
        case Kind::Image: {
            uint32_t error = 0;
            device = OpenPathDevice(imagePath_, offset_, &error);
            if (!device) LogFileError(error, imagePath_);
            else if (length_) device = LimitDevice(std::move(device), *length_);
            break;
        }
        case Kind::Factory: device = factory_(); break;
        case Kind::None: break;
        }
        opened_->device = std::move(device);
    });
    return opened_->device;
}

VolumeSource VolumeSource::OldFileSystem(uint64_t mftStart, uint32_t recordSize, uint32_t clusterSize,
                                         uint64_t volumeStart) const {
    VolumeSource view = *this;
    NTFSBootSector geometry;
    geometry.sectorSize = 512;
    geometry.clusterSize = clusterSize;
    geometry.fileRecordSize = recordSize;
    geometry.mftAddr = kRecordWindow;
    view.oldGeometry_ = geometry;
    view.oldMftStart_ = mftStart;
    view.oldVolumeStart_ = volumeStart;
    return view;
}

std::unique_ptr<NTFSVolume> VolumeSource::Open() const {
    const std::wstring path = kind_ == Kind::Drive ? std::wstring(1, text_[0]) + L":\\" : text_;
    if (oldGeometry_) {
        std::unique_ptr<Device> shared = ShareDevice(OpenedDevice());
        std::unique_ptr<Device> view = shared ? std::make_unique<RecordWindowDevice>(std::move(shared), oldMftStart_, oldVolumeStart_) : nullptr;
        return std::make_unique<NTFSVolume>(std::move(view), path, *oldGeometry_);
    }
    return std::make_unique<NTFSVolume>(OpenDevice(), path);
}

std::unique_ptr<Device> VolumeSource::OpenDevice() const { return ShareDevice(OpenedDevice()); }

}  // namespace Vorlaq

#include "scan/VolumeSource.h"

#include "ntfs/NTFSVolume.h"
#include "scan/FileSystem.h"

namespace Vorlaq {

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

VolumeSource VolumeSource::OldFileSystem(const NTFSBootSector& geometry, uint64_t volumeStart) const {
    VolumeSource view = *this;
    view.oldGeometry_ = geometry;
    view.oldStart_ = volumeStart;
    return view;
}

std::unique_ptr<NTFSVolume> VolumeSource::Open() const {
    const std::wstring path = kind_ == Kind::Drive ? std::wstring(1, text_[0]) + L":\\" : text_;
    if (oldGeometry_) return std::make_unique<NTFSVolume>(ShareDevice(OpenedDevice(), oldStart_), path, *oldGeometry_);
    return std::make_unique<NTFSVolume>(OpenDevice(), path);
}

std::unique_ptr<Device> VolumeSource::OpenDevice() const { return ShareDevice(OpenedDevice()); }

}  // namespace Vorlaq

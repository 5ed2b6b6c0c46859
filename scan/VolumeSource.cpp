#include "scan/VolumeSource.h"

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

std::unique_ptr<NTFSVolume> VolumeSource::Open() const {
    switch (kind_) {
    case Kind::Drive:
        return std::make_unique<NTFSVolume>(text_[0]);
    case Kind::Image:
    case Kind::Factory:
        return std::make_unique<NTFSVolume>(OpenDevice(), text_);
    case Kind::None:
        break;
    }
    return std::make_unique<NTFSVolume>(nullptr, text_);
}

std::unique_ptr<Device> VolumeSource::OpenDevice() const {
    uint32_t error = 0;
    std::unique_ptr<Device> device;
    switch (kind_) {
    case Kind::Drive:
        device = OpenDriveDevice(text_[0], &error);
        if (!device) LogFileError(error, text_);
        break;
    case Kind::Image:
        device = OpenPathDevice(imagePath_, offset_, &error);
        if (!device) LogFileError(error, imagePath_);
        else if (length_) device = LimitDevice(std::move(device), *length_);
        break;
    case Kind::Factory:
        device = factory_();
        break;
    case Kind::None:
        break;
    }
    return device;
}

}  // namespace Vorlaq

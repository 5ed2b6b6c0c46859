#include "scan/SourceProbe.h"

namespace Vorlaq {

SourceProbe::SourceProbe(const std::wstring& path) {
    std::unique_ptr<Device> device = OpenPathDevice(path, 0, &error_);
    if (!device) return;
    table_ = ReadPartitionTable(*device);
    device_ = std::move(device);
}

VolumeSource SourceProbe::VolumeAt(uint64_t offset, std::optional<uint64_t> length) const {
    std::shared_ptr<Device> device = device_;
    return VolumeSource::FromDevice(
        [device, offset, length]() -> std::unique_ptr<Device> {
            std::unique_ptr<Device> volume = ShareDevice(device, offset);
            return length ? LimitDevice(std::move(volume), *length) : std::move(volume);
        },
        L"\\");
}

}  // namespace Vorlaq

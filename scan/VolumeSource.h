#pragma once
// Where a volume comes from: a drive letter (the dialog's "C:\"), an image file or block device
// with the byte offset of the volume inside it, or a device factory (tests). The scan and the
// restore open a fresh NTFSVolume from it on their own thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/os/Device.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

class VolumeSource {
public:
    using DeviceFactory = std::function<std::unique_ptr<Device>()>;

    // Nothing to open.
    VolumeSource() = default;
    // The volume text as the drive list shows it (C:\); its first character is the drive letter.
    // An empty text gives an empty source.
    static VolumeSource FromText(const std::wstring& volumeText);
    // An image file or block device; the volume starts `offset` bytes in (and, given `length`,
    // ends that many bytes later: a partition of a whole disk). The volume text is what paths and
    // log lines show for it ("\" by default).
    static VolumeSource FromImage(const std::wstring& path, uint64_t offset, const std::wstring& volumeText = L"\\",
                                  std::optional<uint64_t> length = std::nullopt);
    // Any device, made anew for every open.
    static VolumeSource FromDevice(DeviceFactory factory, const std::wstring& volumeText);

    bool IsEmpty() const { return kind_ == Kind::None; }
    const std::wstring& GetVolumeText() const { return text_; }
    // A volume that may not be OK (check IsVolumeOK); never null.
    std::unique_ptr<NTFSVolume> Open() const;
    // The device Open reads the volume through, for a further view of the same volume (its
    // shadow copies); null, after logging why, when it cannot be opened.
    std::unique_ptr<Device> OpenDevice() const;

private:
    enum class Kind { None, Drive, Image, Factory };

    Kind kind_ = Kind::None;
    std::wstring text_;
    std::wstring imagePath_;
    uint64_t offset_ = 0;
    std::optional<uint64_t> length_;
    DeviceFactory factory_;
};

}  // namespace Vorlaq

#pragma once
// Where a volume comes from: a drive letter (the dialog's "C:\"), an image file or block device
// with the byte offset of the volume inside it, or a device factory (tests). The source is opened
// once, on first use, and its copies share that one open device: every volume made from it, on
// any thread, reads the same bytes, however often the file at the path is replaced meanwhile.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/os/Device.h"
#include "ntfs/NTFSBootSector.h"

namespace Vorlaq {

class NTFSVolume;

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
    // Any device, made once by `factory` on first use.
    static VolumeSource FromDevice(DeviceFactory factory, const std::wstring& volumeText);

    // An old file system on this source, known from its records alone (NTFSVolume's constructor
    // for such views): its volume starts `volumeStart` bytes into this source (a partition of a
    // whole disk), its record N lies at byte mftStart + N * recordSize of this source (modulo
    // 2^64: a piece of a fragmented MFT may lie before N * recordSize), its data runs count
    // clusters of `clusterSize` from the volume's start. It shares this source's one open device.
    VolumeSource OldFileSystem(uint64_t mftStart, uint32_t recordSize, uint32_t clusterSize,
                               uint64_t volumeStart = 0) const;

    bool IsEmpty() const { return kind_ == Kind::None; }
    bool IsDrive() const { return kind_ == Kind::Drive; }
    const std::wstring& GetVolumeText() const { return text_; }
    // A volume over the source's one open device (opened now on first use; a failure to open is
    // logged once); it may not be OK (check IsVolumeOK); never null.
    std::unique_ptr<NTFSVolume> Open() const;
    // A handle on the one open device Open reads the volume through, for a further view of the
    // same volume (its shadow copies); null when it could not be opened (logged once).
    std::unique_ptr<Device> OpenDevice() const;

private:
    enum class Kind { None, Drive, Image, Factory };

    // The device, opened by whichever copy asks first.
    struct OpenedState {
        std::once_flag once;
        std::shared_ptr<Device> device;
    };

    std::shared_ptr<Device> OpenedDevice() const;

    Kind kind_ = Kind::None;
    std::wstring text_;
    std::wstring imagePath_;
    uint64_t offset_ = 0;
    std::optional<uint64_t> length_;
    std::optional<NTFSBootSector> oldGeometry_;  // set for a view of an old file system
    uint64_t oldMftStart_ = 0;
    uint64_t oldVolumeStart_ = 0;
    DeviceFactory factory_;
    std::shared_ptr<OpenedState> opened_ = std::make_shared<OpenedState>();
};

}  // namespace Vorlaq

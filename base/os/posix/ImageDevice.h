#pragma once
// A disk-image container read through its library, behind the device interface: the volume at
// `base` bytes into the container's media, reads serialised (each library handle keeps a file
// position of its own) and ending at the media's end as a file's reads would.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/os/ContainerFormat.h"
#include "base/os/Device.h"

namespace Vorlaq {

class ImageDevice : public Device {
public:
    ImageDevice(uint64_t mediaSize, uint64_t base) : mediaSize_(mediaSize), base_(base) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) final;
    std::vector<DamagedSpan> KnownDamage() final;

protected:
    // Up to `length` bytes of media at `offset`; -1 when the library fails.
    virtual ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) = 0;
    // The library's damaged spans in media offsets; none for formats that keep no checksums.
    virtual std::vector<DamagedSpan> MediaDamage() { return {}; }

private:
    std::mutex lock_;
    uint64_t mediaSize_;
    uint64_t base_;
};

// The container at `path` opened by its library; null after logging why (*error then holds a
// Windows error code for the caller's own line).
std::unique_ptr<Device> OpenImageDevice(ContainerFormat format, const std::string& path, uint64_t base,
                                        uint32_t* error);

// One opener per library.
std::unique_ptr<Device> OpenEwfImage(const std::string& path, uint64_t base);
std::unique_ptr<Device> OpenVhdiImage(const std::string& path, uint64_t base, ContainerFormat format);
std::unique_ptr<Device> OpenVmdkImage(const std::string& path, uint64_t base);
std::unique_ptr<Device> OpenQcowImage(const std::string& path, uint64_t base);

// Logs that `path` (a `format` container) cannot be opened, with the library's own reason.
void LogImageFailure(ContainerFormat format, const std::string& path, const std::string& reason);

// The file a differencing image names as its parent, looked for beside the image: only the
// stored name's last component counts (it may be a Windows path). Empty, after logging which
// parent is missing, when no such file is there.
std::string ParentBeside(ContainerFormat format, const std::string& image, const std::string& storedName);

// False, after logging it, when `part` (a segment or parent of the image at `image`) is a link
// that leads out of the image's folder: a file planted elsewhere is never read as part of it.
bool PartStaysBeside(ContainerFormat format, const std::string& image, const std::string& part);

// Differencing images are followed this many levels deep at most: a chain that names itself
// ends here.
constexpr int kMaxParentDepth = 16;

// The last message of a library error's text (the libraries print one line per level).
std::string LastErrorLine(const char* text);

}  // namespace Vorlaq

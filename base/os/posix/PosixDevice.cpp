#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "base/os/Files.h"
#include "base/os/posix/ImageDevice.h"
#include "base/os/posix/PosixError.h"

namespace Vorlaq {

namespace {

class PosixDevice : public Device {
public:
    PosixDevice(int fd, uint64_t base) : fd_(fd), base_(base) {}
    ~PosixDevice() override { ::close(fd_); }

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset > UINT64_MAX - base_ || offset + base_ > static_cast<uint64_t>(INT64_MAX)) return false;
        auto* out = static_cast<char*>(buffer);
        uint64_t at = base_ + offset;
        while (*delivered < length) {
            ssize_t n = ::pread(fd_, out + *delivered, length - *delivered, static_cast<off_t>(at + *delivered));
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (n == 0) break;
            *delivered += static_cast<uint32_t>(n);
        }
        return true;
    }

    void Prefetch(uint64_t offset, uint64_t length) override {
        if (length == 0 || offset > UINT64_MAX - base_ || offset + base_ > static_cast<uint64_t>(INT64_MAX)) return;
        const uint64_t at = base_ + offset;
        length = std::min<uint64_t>(length, static_cast<uint64_t>(INT64_MAX) - at);
        if (length == 0) return;
        // Asking for bytes the cache holds still costs a lookup per page: when a read that may not
        // wait finds the range's last byte, the range was read before and is left be.
        char last = 0;
        iovec probe{&last, 1};
        if (::preadv2(fd_, &probe, 1, static_cast<off_t>(at + length - 1), RWF_NOWAIT) == 1) return;
        ::posix_fadvise(fd_, static_cast<off_t>(at), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
    }

private:
    int fd_;
    uint64_t base_;
};

// The container a regular file is, by its first and last bytes; None for a raw image or a device.
ContainerFormat ProbeContainer(int fd) {
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return ContainerFormat::None;
    std::vector<uint8_t> head(kContainerProbeSize), tail(kContainerProbeSize);
    uint64_t size = static_cast<uint64_t>(info.st_size);
    ssize_t headGot = ::pread(fd, head.data(), head.size(), 0);
    ssize_t tailGot =
        size >= tail.size() ? ::pread(fd, tail.data(), tail.size(), static_cast<off_t>(size - tail.size())) : 0;
    return DetectContainerFormat(head.data(), headGot > 0 ? static_cast<size_t>(headGot) : 0, tail.data(),
                                 tailGot > 0 ? static_cast<size_t>(tailGot) : 0);
}

}  // namespace

std::unique_ptr<Device> OpenDriveDevice(wchar_t, uint32_t* error) {
    if (error) *error = kErrorPathNotFound;
    return nullptr;
}

std::unique_ptr<Device> OpenPathDevice(const std::wstring& path, uint64_t baseOffset, uint32_t* error) {
    // Not blocking: opening a FIFO would otherwise wait for a writer that may never come.
    int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (error) *error = WinErrorFromErrno(errno);
        return nullptr;
    }
    // Only a file or a block device has bytes at every offset; a FIFO, socket or character
    // device would hang or hand out a stream.
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) {
        ::close(fd);
        if (error) *error = kErrorBadDeviceType;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Containers are chosen by signature, not by name: a renamed E01 is still one.
    if (ContainerFormat format = ProbeContainer(fd); format != ContainerFormat::None) {
        ::close(fd);
        return OpenImageDevice(format, WideToUtf8(path), baseOffset, error);
    }
    return std::make_unique<PosixDevice>(fd, baseOffset);
}

}  // namespace Vorlaq

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "base/os/Files.h"
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

private:
    int fd_;
    uint64_t base_;
};

}  // namespace

std::unique_ptr<Device> OpenDriveDevice(wchar_t, uint32_t* error) {
    if (error) *error = kErrorPathNotFound;
    return nullptr;
}

std::unique_ptr<Device> OpenPathDevice(const std::wstring& path, uint64_t baseOffset, uint32_t* error) {
    int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = WinErrorFromErrno(errno);
        return nullptr;
    }
    return std::make_unique<PosixDevice>(fd, baseOffset);
}

}  // namespace Vorlaq

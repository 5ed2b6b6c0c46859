#include <windows.h>

#include <cstring>
#include <vector>

#include "base/LogManager.h"
#include "base/os/ContainerFormat.h"
#include "base/os/Device.h"

namespace Vorlaq {

namespace {

// Raw volume handles only accept reads at sector-aligned offsets of sector-aligned lengths;
// 4096 covers every sector size NTFS uses.
constexpr uint64_t kVolumeAlignment = 4096;

class Win32Device : public Device {
public:
    Win32Device(HANDLE handle, uint64_t base, bool aligned) : handle_(handle), base_(base), aligned_(aligned) {}
    ~Win32Device() override { CloseHandle(handle_); }

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset > UINT64_MAX - base_) return false;
        uint64_t at = base_ + offset;
        if (!aligned_ || (at % kVolumeAlignment == 0 && length % kVolumeAlignment == 0))
            return ReadExact(at, buffer, length, delivered);
        uint64_t start = at - at % kVolumeAlignment;
        uint64_t end = at + length;
        uint64_t alignedEnd = (end + kVolumeAlignment - 1) / kVolumeAlignment * kVolumeAlignment;
        if (alignedEnd - start > 0xFFFFFFFFull) return ReadExact(at, buffer, length, delivered);
        std::vector<char> bounce(static_cast<size_t>(alignedEnd - start));
        uint32_t got = 0;
        if (!ReadExact(start, bounce.data(), static_cast<uint32_t>(bounce.size()), &got) || got < at - start)
            return ReadExact(at, buffer, length, delivered);
        uint64_t available = got - (at - start);
        *delivered = static_cast<uint32_t>(available < length ? available : length);
        std::memcpy(buffer, bounce.data() + (at - start), *delivered);
        return true;
    }

    HANDLE Handle() const { return handle_; }
    void SetBase(uint64_t base) { base_ = base; }

private:
    bool ReadExact(uint64_t at, void* buffer, uint32_t length, uint32_t* delivered) {
        *delivered = 0;
        auto* out = static_cast<char*>(buffer);
        while (*delivered < length) {
            OVERLAPPED position{};
            uint64_t where = at + *delivered;
            position.Offset = static_cast<DWORD>(where);
            position.OffsetHigh = static_cast<DWORD>(where >> 32);
            DWORD got = 0;
            if (!ReadFile(handle_, out + *delivered, length - *delivered, &got, &position))
                return GetLastError() == ERROR_HANDLE_EOF;
            if (got == 0) break;
            *delivered += got;
        }
        return true;
    }

    HANDLE handle_;
    uint64_t base_;
    bool aligned_;
};

std::unique_ptr<Win32Device> Open(const std::wstring& path, uint64_t base, bool aligned, uint32_t* error) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32Device>(handle, base, aligned);
}

// The container an image file is, by its first and last bytes.
ContainerFormat ProbeContainer(Win32Device& device) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(device.Handle(), &size) || size.QuadPart < 0) return ContainerFormat::None;
    std::vector<uint8_t> head(kContainerProbeSize), tail(kContainerProbeSize);
    uint32_t headGot = 0, tailGot = 0;
    uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    if (!device.ReadAt(0, head.data(), static_cast<uint32_t>(head.size()), &headGot)) headGot = 0;
    if (bytes < tail.size() ||
        !device.ReadAt(bytes - tail.size(), tail.data(), static_cast<uint32_t>(tail.size()), &tailGot))
        tailGot = 0;
    return DetectContainerFormat(head.data(), headGot, tail.data(), tailGot);
}

}  // namespace

std::unique_ptr<Device> OpenDriveDevice(wchar_t letter, uint32_t* error) {
    wchar_t path[] = L"\\\\.\\X:";
    path[4] = letter;
    return Open(path, 0, true, error);
}

std::unique_ptr<Device> OpenPathDevice(const std::wstring& path, uint64_t baseOffset, uint32_t* error) {
    bool rawVolume = path.size() == 6 && path.compare(0, 4, L"\\\\.\\") == 0 && path[5] == L':';
    if (rawVolume) return Open(path, baseOffset, true, error);
    std::unique_ptr<Win32Device> image = Open(path, 0, false, error);
    if (!image) return nullptr;
    // Containers are read by the Linux build only, through their libraries.
    ContainerFormat format = ProbeContainer(*image);
    if (format != ContainerFormat::None) {
        LogManager::instance().print(LogLevel::Error,
                                     L"%s is a %s image: the Windows build reads raw images and drives only. "
                                     L"Open it with quorret-cli on Linux, or convert it to a raw image.",
                                     path, ContainerFormatName(format));
        if (error) *error = ERROR_NOT_SUPPORTED;
        return nullptr;
    }
    image->SetBase(baseOffset);
    return image;
}

}  // namespace Vorlaq

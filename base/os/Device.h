#pragma once
// A readable block device: a drive's raw volume, an image file or a block device. Reads are
// positional (no shared file pointer), so one device never depends on a previous call's position,
// and two threads may read one device at once.
#include <cstdint>
#include <memory>
#include <string>

namespace Vorlaq {

class Device {
public:
    virtual ~Device() = default;
    // Reads up to `length` bytes at byte `offset`. False when the platform call failed; a read
    // that reaches the end of the device succeeds with fewer bytes in *delivered.
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) = 0;
};

// The raw volume of drive `letter` (\\.\X: on Windows). Elsewhere there are no drive letters and
// this fails with ERROR_PATH_NOT_FOUND. On failure *error holds a Windows error code.
std::unique_ptr<Device> OpenDriveDevice(wchar_t letter, uint32_t* error);

// An image file or block device; `baseOffset` is where the volume starts (a partition inside a
// whole-disk image). Opened read-only, sharing reads and writes with others.
std::unique_ptr<Device> OpenPathDevice(const std::wstring& path, uint64_t baseOffset, uint32_t* error);

// `inner` ending `length` bytes in: reads there stop as at the end of a device, so a partition of
// a whole-disk image ends where its table says.
std::unique_ptr<Device> LimitDevice(std::unique_ptr<Device> inner, uint64_t length);

}  // namespace Vorlaq

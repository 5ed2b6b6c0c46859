#pragma once
// A readable block device: a drive's raw volume, an image file or a block device. Reads are
// positional (no shared file pointer), so one device never depends on a previous call's position,
// and two threads may read one device at once.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vorlaq {

// Bytes of a device that hold damaged data: a container's chunk that failed its checksum, or
// sectors its acquisition could not read (stored as zeros).
struct DamagedSpan {
    uint64_t offset = 0;
    uint64_t length = 0;
};

class Device {
public:
    virtual ~Device() = default;
    // Reads up to `length` bytes at byte `offset`. False when the platform call failed; a read
    // that reaches the end of the device succeeds with fewer bytes in *delivered.
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) = 0;
    // The damaged spans known so far, in device offsets: a checksum is only checked when its chunk
    // is read, so the list can grow with every read. Plain files and drives have none.
    virtual std::vector<DamagedSpan> KnownDamage() { return {}; }
    // Asks the platform to start reading `length` bytes at `offset` into its cache and returns
    // without waiting: a later ReadAt there finds them read. Only a hint; nothing can fail.
    virtual void Prefetch(uint64_t /*offset*/, uint64_t /*length*/) {}
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

// A handle on `device` from byte `base` on that keeps it open while it lives: every volume over one
// open source reads through the same device.
std::unique_ptr<Device> ShareDevice(std::shared_ptr<Device> device, uint64_t base = 0);

}  // namespace Vorlaq

#pragma once
// A first look at a source from its first byte: can it be opened, and does it start with a
// partition table (a whole-disk image) rather than with a volume.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "scan/PartitionTable.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class SourceProbe {
public:
    // Opens the image file or block device at `path` (a container through its library).
    explicit SourceProbe(const std::wstring& path);

    bool IsOpen() const { return device_ != nullptr; }
    // Why it could not be opened, as a Windows error code (the log may say more).
    uint32_t GetError() const { return error_; }
    // Scheme None for a volume at the start, or a table this does not know.
    const PartitionTable& GetTable() const { return table_; }
    // The volume `offset` bytes in (ending `length` bytes later), read through the device opened
    // here: the source is not opened again.
    VolumeSource VolumeAt(uint64_t offset, std::optional<uint64_t> length) const;

private:
    std::shared_ptr<Device> device_;
    uint32_t error_ = 0;
    PartitionTable table_;
};

}  // namespace Vorlaq

#pragma once
// Recognises a whole-disk image: a source that starts with an MBR or GPT partition table instead
// of an NTFS boot sector, and the NTFS volumes inside it with the byte offsets that open them.
#include <cstdint>
#include <string>
#include <vector>

#include "base/os/Device.h"

namespace Vorlaq {

enum class PartitionScheme { None, Mbr, Gpt };

struct PartitionEntry {
    uint32_t number = 0;   // 1-4 primary MBR entries, 5 on for logical ones; GPT entry index + 1
    uint64_t offset = 0;   // bytes from the start of the source
    uint64_t size = 0;     // bytes
    std::wstring type;     // "0x07", "basic data", or the GPT type GUID
    bool ntfs = false;     // an NTFS boot sector sits at its start
};

struct PartitionTable {
    PartitionScheme scheme = PartitionScheme::None;
    uint32_t sectorSize = 512;
    std::vector<PartitionEntry> partitions;  // every entry in use, in table order
};

// Scheme None when the source starts with an NTFS boot sector, or with no table this knows.
PartitionTable ReadPartitionTable(Device& device);

}  // namespace Vorlaq

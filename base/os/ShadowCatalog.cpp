#include "base/os/ShadowCatalog.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kVolumeHeaderOffset = 0x1E00;
constexpr uint32_t kVolumeHeaderSize = 512;
constexpr uint32_t kBlockSize = 0x4000;
constexpr uint32_t kEntrySize = kShadowCatalogEntrySize;
constexpr uint32_t kRecordVolumeHeader = 1;
constexpr uint32_t kRecordCatalogBlock = 2;
constexpr uint64_t kEntryCopy = 2;
constexpr uint64_t kEntryStore = 3;
// Catalog entry flag of a copy taken offline: Windows no longer offers it, its store remains.
constexpr uint64_t kCopyFlagOffline = 0x100;

// Every VSS block starts with this identifier (3808876b-c176-4e48-b7ae-04046e6cc752).
constexpr uint8_t kVssIdentifier[16] = {0x6B, 0x87, 0x08, 0x38, 0x76, 0xC1, 0x48, 0x4E,
                                        0xB7, 0xAE, 0x04, 0x04, 0x6E, 0x6C, 0xC7, 0x52};

bool ReadWhole(Device& device, uint64_t offset, std::vector<uint8_t>& buffer) {
    uint32_t got = 0;
    return device.ReadAt(offset, buffer.data(), static_cast<uint32_t>(buffer.size()), &got) && got == buffer.size();
}

// The identifier and the record type of a VSS block header.
bool IsVssBlock(const ByteReader& block, uint32_t recordType) {
    return block.Contains(0, sizeof kVssIdentifier) &&
           std::memcmp(block.data(), kVssIdentifier, sizeof kVssIdentifier) == 0 &&
           block.U32(20) == recordType;
}

ShadowStoreId StoreIdAt(const ByteReader& entry) {
    ShadowStoreId id{};
    entry.CopyTo(16, id.data(), id.size());
    return id;
}

}  // namespace

ShadowCatalog ReadShadowCatalog(Device& volume) {
    ShadowCatalog catalog;
    std::vector<uint8_t> header(kVolumeHeaderSize);
    if (!ReadWhole(volume, kVolumeHeaderOffset, header)) return catalog;
    ByteReader head(header.data(), header.size());
    if (!IsVssBlock(head, kRecordVolumeHeader)) return catalog;
    uint64_t next = head.U64(48).value_or(0);
    if (next == 0) return catalog;  // shadow copies enabled, none taken
    catalog.present = true;

    std::vector<ShadowCatalogEntry> described;  // type-2 entries, in catalog order
    std::vector<std::pair<ShadowStoreId, uint64_t>> placed;  // stores that type-3 entries place, and where
    std::vector<uint8_t> buffer(kBlockSize);
    std::vector<uint64_t> visited;
    while (next != 0) {
        // A chain that comes back to a block, or runs on past the bound, is damaged.
        if (visited.size() == kMaxShadowCatalogBlocks ||
            std::find(visited.begin(), visited.end(), next) != visited.end() || !ReadWhole(volume, next, buffer)) {
            catalog.damaged = true;
            break;
        }
        visited.push_back(next);
        ByteReader block(buffer.data(), buffer.size());
        if (!IsVssBlock(block, kRecordCatalogBlock)) {
            catalog.damaged = true;
            break;
        }
        for (uint32_t at = kEntrySize; at + kEntrySize <= kBlockSize; at += kEntrySize) {
            ByteReader entry = *block.Sub(at, kEntrySize);
            const uint64_t type = entry.U64(0).value_or(0);
            if (type == kEntryCopy) {
                ShadowCatalogEntry copy;
                copy.store = StoreIdAt(entry);
                copy.entryOffsets.push_back(next + at);
                copy.offline = (entry.U64(40).value_or(0) & kCopyFlagOffline) != 0;
                copy.created = entry.U64(48).value_or(0);
                described.push_back(copy);
            } else if (type == kEntryStore) {
                placed.emplace_back(StoreIdAt(entry), next + at);
            }
        }
        next = block.U64(40).value_or(0);
    }
    for (ShadowCatalogEntry& copy : described) {
        for (const auto& [store, offset] : placed)
            if (store == copy.store) copy.entryOffsets.push_back(offset);
        if (copy.entryOffsets.size() < 2) continue;
        copy.number = static_cast<uint32_t>(catalog.copies.size() + 1);
        catalog.copies.push_back(copy);
    }
    return catalog;
}

}  // namespace Vorlaq

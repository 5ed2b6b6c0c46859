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
// 0 past the last entry ever written, 1 (kShadowUnusedEntry) once freed.
constexpr uint64_t kEntryCopy = kShadowCopyEntry;
constexpr uint64_t kEntryStore = kShadowStoreEntry;
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

    // Each entry with its place in catalog order, for telling which copies come before a fault.
    struct Placed {
        ShadowStoreId store;
        uint64_t offset;
        size_t order;
    };
    std::vector<std::pair<ShadowCatalogEntry, size_t>> described;  // type-2 entries, in catalog order
    std::vector<Placed> placed;                                      // type-3 entries
    std::vector<std::pair<ShadowCatalogFault, size_t>> faults;
    size_t order = 0;
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
        for (uint32_t at = kEntrySize; at + kEntrySize <= kBlockSize; at += kEntrySize, ++order) {
            ByteReader entry = *block.Sub(at, kEntrySize);
            const uint64_t type = entry.U64(0).value_or(0);
            if (type == kEntryCopy) {
                ShadowCatalogEntry copy;
                copy.store = StoreIdAt(entry);
                copy.entryOffsets.push_back(next + at);
                copy.offline = (entry.U64(40).value_or(0) & kCopyFlagOffline) != 0;
                copy.created = entry.U64(48).value_or(0);
                described.emplace_back(copy, order);
            } else if (type == kEntryStore) {
                placed.push_back({StoreIdAt(entry), next + at, order});
            } else if (type > kShadowUnusedEntry) {
                faults.push_back({{next + at, 0, type}, order});
            }
        }
        next = block.U64(40).value_or(0);
    }
    // Copies are numbered by their descriptions, whole or not, so that one damaged entry renames
    // no other copy.
    uint32_t number = 0;
    std::vector<size_t> orders;  // of the whole copies' descriptions
    for (auto& [copy, at] : described) {
        copy.number = ++number;
        for (const Placed& store : placed)
            if (store.store == copy.store) copy.entryOffsets.push_back(store.offset);
        if (copy.entryOffsets.size() < 2) {
            faults.push_back({{copy.entryOffsets.front(), copy.number, kEntryCopy}, at});
            continue;
        }
        catalog.copies.push_back(copy);
        orders.push_back(at);
    }
    for (const Placed& store : placed)
        if (std::none_of(described.begin(), described.end(),
                         [&](const auto& copy) { return copy.first.store == store.store; }))
            faults.push_back({{store.offset, 0, kEntryStore}, store.order});
    std::stable_sort(faults.begin(), faults.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& fault : faults) catalog.faults.push_back(fault.first);
    // Older copies come first: every copy described before the last fault may read through the
    // store that fault's copy had.
    if (!faults.empty())
        for (size_t i = 0; i < catalog.copies.size(); ++i)
            catalog.copies[i].behindDamage = orders[i] < faults.back().second;
    return catalog;
}

}  // namespace Vorlaq

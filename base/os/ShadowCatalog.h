#pragma once
// The catalog of the shadow copies Windows keeps inside an NTFS volume. The volume header at byte
// 0x1E00 (inside $Boot) names the first of a chain of 16 KiB catalog blocks; after a 128-byte
// block header each block holds 128-byte entries: type 2 describes one copy (its store's
// identifier, flags and creation time), type 3 says where that copy's store lies. Windows adds
// the copies in the order it takes them, so the catalog lists them oldest first. Read from the
// volume itself, so the Windows build can name the copies it cannot read.
#include <array>
#include <cstdint>
#include <vector>

#include "base/os/Device.h"

namespace Vorlaq {

using ShadowStoreId = std::array<uint8_t, 16>;

struct ShadowCatalogEntry {
    uint32_t number = 0;   // 1, 2, ... in catalog order, as libvshadow's tools number the stores
    ShadowStoreId store{};
    uint64_t created = 0;  // UTC FILETIME
    bool offline = false;  // the copy was taken offline (deleted) but its store is still there
    std::vector<uint64_t> entryOffsets;  // where its type-2 and type-3 entries lie in the volume
    // A damaged entry lies after this copy's description: it may be a newer copy's, whose store
    // this one reads through and the catalog no longer places.
    bool behindDamage = false;
};

// A catalog entry that belongs to no whole copy: a copy's description that no entry places the
// store of (`copy` names it), or an entry of no known type, or one that places a store no copy
// describes (`copy` 0: whose it was is not known). Left out, with the copies behind it.
struct ShadowCatalogFault {
    uint64_t offset = 0;  // where the entry lies in the volume
    uint32_t copy = 0;
    uint64_t type = 0;    // the entry's type as stored
};

// What a catalog entry becomes when a copy is left out: an unused entry (type 1).
constexpr uint32_t kShadowCatalogEntrySize = 128;
constexpr uint64_t kShadowUnusedEntry = 1;
// The entry that describes a copy, and the one that places its store.
constexpr uint64_t kShadowCopyEntry = 2;
constexpr uint64_t kShadowStoreEntry = 3;

struct ShadowCatalog {
    bool present = false;  // the volume header is there and names a catalog
    bool damaged = false;  // a catalog block could not be read or is not one; entries before it kept
    std::vector<ShadowCatalogEntry> copies;  // type-2 entries whose store a type-3 entry places
    std::vector<ShadowCatalogFault> faults;  // in catalog order
};

// Catalog blocks followed at most: a chain that loops or runs on ends here (a real catalog has a
// handful).
constexpr uint32_t kMaxShadowCatalogBlocks = 256;

ShadowCatalog ReadShadowCatalog(Device& volume);

}  // namespace Vorlaq

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "base/os/ShadowCatalog.h"
#include "tests/support/MemoryDevice.h"

using QuorretTest::Bytes;
using QuorretTest::MemoryDevice;
using Vorlaq::ReadShadowCatalog;
using Vorlaq::ShadowCatalog;

namespace {

constexpr uint8_t kVss[16] = {0x6B, 0x87, 0x08, 0x38, 0x76, 0xC1, 0x48, 0x4E,
                              0xB7, 0xAE, 0x04, 0x04, 0x6E, 0x6C, 0xC7, 0x52};
constexpr uint64_t kBlock = 0x4000;

void Put64(Bytes& b, uint64_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void BlockHeader(Bytes& b, uint64_t at, uint32_t type, uint64_t next) {
    std::memcpy(&b[at], kVss, sizeof kVss);
    b[at + 16] = 1;
    b[at + 20] = static_cast<uint8_t>(type);
    Put64(b, at + 40, next);
}

// A catalog entry: type 2 (a copy: store `id`, flags, creation time) or type 3 (its store).
void Entry(Bytes& b, uint64_t at, uint64_t type, uint8_t id, uint64_t flags = 0, uint64_t created = 0) {
    Put64(b, at, type);
    b[at + 16] = id;
    if (type == 2) {
        Put64(b, at + 40, flags);
        Put64(b, at + 48, created);
    }
}

// A volume whose header at 0x1E00 names a catalog of two blocks, 0x8000 then 0x10000.
Bytes TwoBlockCatalog() {
    Bytes b(0x18000);
    BlockHeader(b, 0x1E00, 1, 0);
    Put64(b, 0x1E00 + 48, 0x8000);
    BlockHeader(b, 0x8000, 2, 0x10000);
    Entry(b, 0x8000 + 128, 2, 0xA1, 0x40, 1000);
    Entry(b, 0x8000 + 256, 2, 0xB2, 0x140, 2000);  // offline
    Entry(b, 0x8000 + 384, 2, 0xC3, 0x40, 3000);   // no store placed: not a copy to read
    Entry(b, 0x8000 + 512, 1, 0);                  // unused
    BlockHeader(b, 0x10000, 2, 0);
    Entry(b, 0x10000 + 128, 3, 0xB2);
    Entry(b, 0x10000 + 256, 3, 0xA1);
    return b;
}

ShadowCatalog Read(const Bytes& bytes) {
    MemoryDevice device(std::make_shared<const Bytes>(bytes));
    return ReadShadowCatalog(device);
}

}  // namespace

TEST(ShadowCatalog, CopiesAreTheDescribedEntriesWhoseStoreIsPlaced) {
    ShadowCatalog catalog = Read(TwoBlockCatalog());
    EXPECT_TRUE(catalog.present);
    EXPECT_FALSE(catalog.damaged);
    ASSERT_EQ(catalog.copies.size(), 2u);
    EXPECT_EQ(catalog.copies[0].number, 1u);
    EXPECT_EQ(catalog.copies[0].store[0], 0xA1);
    EXPECT_EQ(catalog.copies[0].created, 1000u);
    EXPECT_FALSE(catalog.copies[0].offline);
    EXPECT_EQ(catalog.copies[1].number, 2u);
    EXPECT_TRUE(catalog.copies[1].offline);
    // Both entries of each copy, where a reader that leaves the copy out masks them.
    EXPECT_EQ(catalog.copies[0].entryOffsets, (std::vector<uint64_t>{0x8000 + 128, 0x10000 + 256}));
    EXPECT_EQ(catalog.copies[1].entryOffsets, (std::vector<uint64_t>{0x8000 + 256, 0x10000 + 128}));
}

TEST(ShadowCatalog, AbsentDamagedAndLoopingCatalogs) {
    Bytes none(0x4000);
    EXPECT_FALSE(Read(none).present);
    Bytes noCatalog = TwoBlockCatalog();
    Put64(noCatalog, 0x1E00 + 48, 0);  // shadow copies on, none taken
    EXPECT_FALSE(Read(noCatalog).present);
    Bytes shortVolume = TwoBlockCatalog();
    shortVolume.resize(0x1E00 + 100);
    EXPECT_FALSE(Read(shortVolume).present);

    // The second block is not one: what the first said of copies stands, their stores are lost.
    Bytes brokenChain = TwoBlockCatalog();
    brokenChain[0x10000] ^= 0xFF;
    ShadowCatalog broken = Read(brokenChain);
    EXPECT_TRUE(broken.present);
    EXPECT_TRUE(broken.damaged);
    EXPECT_TRUE(broken.copies.empty());

    // A block naming itself as the next one: the walk ends at its bound.
    Bytes loop = TwoBlockCatalog();
    Put64(loop, 0x10000 + 40, 0x10000);
    ShadowCatalog looped = Read(loop);
    EXPECT_TRUE(looped.damaged);
    EXPECT_EQ(looped.copies.size(), 2u);

    // A catalog offset beyond the volume.
    Bytes farAway = TwoBlockCatalog();
    Put64(farAway, 0x1E00 + 48, UINT64_MAX - 10);
    EXPECT_TRUE(Read(farAway).damaged);
}

// An entry that belongs to no whole copy is a fault: a description whose store no entry places
// (named by its number, which no other copy loses), an entry of no known type, a store no copy
// describes. Each costs the copies described before it, which may read through its copy's store.
TEST(ShadowCatalog, DamagedEntriesAreFaultsThatCostTheOlderCopiesOnly) {
    ShadowCatalog newest = Read(TwoBlockCatalog());
    ASSERT_EQ(newest.faults.size(), 1u);
    EXPECT_EQ(newest.faults[0].offset, 0x8000u + 384);
    EXPECT_EQ(newest.faults[0].copy, 3u);
    EXPECT_TRUE(newest.copies[0].behindDamage && newest.copies[1].behindDamage);

    // As Windows writes them: each copy's description, then its store's place, oldest first.
    auto pairs = [](uint8_t damagedId, uint64_t damagedType) {
        Bytes b(0x10000);
        BlockHeader(b, 0x1E00, 1, 0);
        Put64(b, 0x1E00 + 48, 0x8000);
        BlockHeader(b, 0x8000, 2, 0);
        uint64_t at = 0x8000 + 128;
        for (uint8_t id : {0xA1, 0xB2, 0xC3}) {
            Entry(b, at, 2, id, 0, id);
            Entry(b, at + 128, id == damagedId ? damagedType : 3, id == damagedId ? 0xEE : id);
            at += 256;
        }
        return Read(b);
    };
    // The middle copy's store entry of no known type: it is lost, and the oldest behind it.
    ShadowCatalog middle = pairs(0xB2, 9);
    ASSERT_EQ(middle.faults.size(), 2u);
    EXPECT_EQ(middle.faults[0].copy, 2u);
    EXPECT_EQ(middle.faults[1].type, 9u);
    EXPECT_EQ(middle.faults[1].offset, 0x8000u + 512);
    ASSERT_EQ(middle.copies.size(), 2u);
    EXPECT_EQ(middle.copies[1].number, 3u);
    EXPECT_TRUE(middle.copies[0].behindDamage);
    EXPECT_FALSE(middle.copies[1].behindDamage);
    // The oldest copy's store entry placing a store no copy describes: it alone is lost.
    ShadowCatalog oldest = pairs(0xA1, 3);
    ASSERT_EQ(oldest.faults.size(), 2u);
    EXPECT_EQ(oldest.faults[0].copy, 1u);
    EXPECT_EQ(oldest.faults[1].copy, 0u);
    EXPECT_EQ(oldest.faults[1].type, 3u);
    ASSERT_EQ(oldest.copies.size(), 2u);
    EXPECT_EQ(oldest.copies[0].number, 2u);
    EXPECT_FALSE(oldest.copies[0].behindDamage || oldest.copies[1].behindDamage);
}

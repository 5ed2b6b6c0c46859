#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "scan/MftReadAhead.h"

using namespace Vorlaq;

TEST(MftReadAhead, HandsOverBlocksInSequenceAndStartsOverWhereAsked) {
    // Blocks of four records over 22; the block at 8 fails and the one at 12 holds two records.
    std::mutex lock;
    std::vector<uint64_t> reads;
    auto read = [&](MftBlock& block) {
        block.records = std::min<uint64_t>(4, 22 - block.first);
        block.held = block.first == 8 ? 0 : block.first == 12 ? 2 : block.records;
        block.bytes.assign(block.records, static_cast<uint8_t>(block.first));
        std::lock_guard<std::mutex> hold(lock);
        reads.push_back(block.first);
    };
    MftReadAhead ahead(read, 22, 2);
    MftBlock block;
    std::vector<uint64_t> taken;
    for (uint64_t first : {0, 4, 8, 12, 14, 18}) {
        ASSERT_TRUE(ahead.Take(first, block)) << first;
        EXPECT_EQ(block.first, first);
        EXPECT_EQ(block.bytes.front(), first);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block.bytes.data()) % 4096, 0u);  // the system copies faster there
        taken.push_back(block.held);
    }
    EXPECT_EQ(taken, (std::vector<uint64_t>{4, 4, 0, 2, 4, 4}));
    // Out of sequence, after the thread has read to the end: the reading starts over there.
    ASSERT_TRUE(ahead.Take(5, block));
    EXPECT_EQ(block.first, 5u);
    EXPECT_EQ(block.held, 4u);
    EXPECT_FALSE(ahead.Take(22, block));
    std::lock_guard<std::mutex> hold(lock);
    EXPECT_EQ(std::vector<uint64_t>(reads.begin(), reads.begin() + 6), (std::vector<uint64_t>{0, 4, 8, 12, 14, 18}));
    EXPECT_EQ(reads[6], 5u);
}

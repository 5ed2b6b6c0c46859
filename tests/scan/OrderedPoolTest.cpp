#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "scan/OrderedPool.h"

using namespace Vorlaq;

namespace {

struct Item {
    int number = -1;
    int square = -1;
};

}  // namespace

TEST(OrderedPool, HandsBackEveryItemInOrderWithFewInFlight) {
    for (size_t workers : {1u, 2u, 5u}) {
        SCOPED_TRACE(workers);
        std::atomic<int> inFlight{0}, mostInFlight{0}, next{0};
        std::vector<std::thread::id> threads;
        auto fill = [&](Item& item) {
            if (next == 300) return false;
            item.number = next++;
            mostInFlight = std::max(mostInFlight.load(), ++inFlight);
            return true;
        };
        // Later items are done sooner, so they wait for the ones before them.
        auto work = [&](Item& item, size_t worker) {
            EXPECT_LT(worker, workers);
            if (item.number % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
            item.square = item.number * item.number;
        };
        OrderedPool<Item> pool(fill, work, workers, 6);
        Item item;
        for (int expected = 0; expected < 300; ++expected) {
            ASSERT_TRUE(pool.Take(item));
            ASSERT_EQ(item.number, expected);
            EXPECT_EQ(item.square, expected * expected);
            --inFlight;
        }
        EXPECT_FALSE(pool.Take(item));
        EXPECT_FALSE(pool.Take(item));
        // The depth, and the item the taker holds.
        EXPECT_LE(mostInFlight.load(), workers < 2 ? 1 : 6 + 1);
    }
    // A taker slower than the workers: each item it takes makes room for one more, and a worker
    // waiting for that room must be woken every time, or the pool stalls.
    {
        int next = 0;
        OrderedPool<Item> pool([&](Item& item) { return (item.number = next++) < 200; },
                               [](Item& item, size_t) { item.square = item.number * item.number; }, 3, 3);
        Item item;
        for (int expected = 0; expected < 200; ++expected) {
            if (expected % 5 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            ASSERT_TRUE(pool.Take(item));
            ASSERT_EQ(item.number, expected);
        }
        EXPECT_FALSE(pool.Take(item));
    }
    // Left before the end, a pool stops its workers and returns.
    int next = 0;
    OrderedPool<Item> pool([&](Item& item) { return (item.number = next++) < 1000; }, [](Item&, size_t) {}, 3, 4);
    Item item;
    ASSERT_TRUE(pool.Take(item));
    EXPECT_EQ(item.number, 0);
}

TEST(OrderedPool, WorkersAskedForOrOnePerCoreLeftFree) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_EQ(PoolWorkers(3), 3u);
    EXPECT_EQ(PoolWorkers(3, 1), 3u);  // a count asked for is kept
    EXPECT_EQ(PoolWorkers(0), cores);
    EXPECT_EQ(PoolWorkers(0, 1), cores > 1 ? cores - 1 : 1u);
    EXPECT_EQ(PoolWorkers(0, cores + 5), 1u);  // never none
}

// The channel between a scan's worker and a front end: order, the "tell the window" flag, the
// limit and the hold that make the worker wait, giving up, and the batches the command line takes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "scan/FoundFileChannel.h"

using Vorlaq::DeletedFileInfo;
using Vorlaq::FoundFileChannel;

namespace {

std::unique_ptr<DeletedFileInfo> File(uint64_t record) {
    return std::make_unique<DeletedFileInfo>(L"D:\\", record, L"f", L"D:\\", 0, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(FoundFileChannel, WorkerWaitsForRoomAndTheHoldAndTheWindowTakesAllInOrder) {
    FoundFileChannel box(2);
    auto always = [] { return true; };
    bool wasEmpty = false;
    auto file = File(16);
    ASSERT_TRUE(box.Put(file, always, &wasEmpty));
    EXPECT_TRUE(wasEmpty);
    EXPECT_EQ(nullptr, file);  // taken over
    file = File(17);
    ASSERT_TRUE(box.Put(file, always, &wasEmpty));
    EXPECT_FALSE(wasEmpty);  // the window was told with the first

    // Full: a third waits until the window takes.
    std::atomic<bool> put{false};
    std::thread worker([&] {
        auto third = File(18);
        bool empty = false;
        put = box.Put(third, always, &empty) && empty;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(put);
    FoundFileChannel::Files files = box.TakeAll();
    worker.join();
    EXPECT_TRUE(put);  // into an empty box: the window is told again
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ(16u, files[0]->GetRecordNumber());
    EXPECT_EQ(17u, files[1]->GetRecordNumber());
    files = box.TakeAll();
    ASSERT_EQ(1u, files.size());
    EXPECT_TRUE(box.Empty());

    // Held: the worker waits even with room, until released or told to give up.
    box.Hold(true);
    put = false;
    std::thread held([&] {
        auto f = File(19);
        bool empty = false;
        put = box.Put(f, always, &empty);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(put);
    box.Hold(false);
    held.join();
    EXPECT_TRUE(put);

    box.Hold(true);
    file = File(20);
    EXPECT_FALSE(box.Put(file, [] { return false; }, &wasEmpty));
    EXPECT_NE(nullptr, file);  // still the caller's
}

TEST(FoundFileChannel, CommandLineTakesBatchesUntilTheEndAndAbandonReleasesTheWorker) {
    FoundFileChannel channel(4, 2);
    FoundFileChannel::Files files;
    files.push_back(File(16));
    ASSERT_TRUE(channel.Put(files));
    EXPECT_TRUE(files.empty());
    // Less than a batch waits for the tick, then comes anyway; the walk has not ended.
    FoundFileChannel::Files taken;
    EXPECT_FALSE(channel.Take(taken, std::chrono::milliseconds(10)));
    ASSERT_EQ(1u, taken.size());
    channel.GiveBack(taken);
    EXPECT_TRUE(taken.empty());
    files.push_back(File(17));
    files.push_back(File(18));
    ASSERT_TRUE(channel.Put(files));  // keeps what was given back, a batch at most, to be filled anew
    FoundFileChannel::Files used;
    channel.TakeUsed(used, 5);
    ASSERT_EQ(1u, used.size());
    EXPECT_EQ(16u, used[0]->GetRecordNumber());
    channel.Finish();
    EXPECT_TRUE(channel.Take(taken, std::chrono::hours(1)));  // the end does not wait for the tick
    ASSERT_EQ(2u, taken.size());
    EXPECT_EQ(17u, taken[0]->GetRecordNumber());
    EXPECT_EQ(3u, channel.Found());
    channel.GiveBack(used);
    channel.GiveBack(taken);
    ASSERT_TRUE(channel.Put(files));  // frees those past a batch
    used.clear();
    channel.TakeUsed(used, 1);
    EXPECT_EQ(1u, used.size());
    channel.TakeUsed(used, 5);
    EXPECT_EQ(2u, used.size());

    // A worker waiting for room gives up once the taker abandons the channel; its files stay its own.
    FoundFileChannel full(1, 1);
    files.push_back(File(19));
    ASSERT_TRUE(full.Put(files));
    std::atomic<bool> gaveUp{false};
    std::thread worker([&] {
        FoundFileChannel::Files more;
        more.push_back(File(20));
        gaveUp = !full.Put(more) && more.size() == 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    full.Abandon();
    worker.join();
    EXPECT_TRUE(gaveUp);
}

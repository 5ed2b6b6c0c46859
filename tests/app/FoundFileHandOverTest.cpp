// The hand-over box between a scan's worker and the window: order, the "tell the window" flag,
// the limit and the hold that make the worker wait, and giving up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/FoundFileHandOver.h"

using Vorlaq::DeletedFileInfo;
using Vorlaq::FoundFileHandOver;

namespace {

std::unique_ptr<DeletedFileInfo> File(uint64_t record)
{
    return std::make_unique<DeletedFileInfo>(L"D:\\", record, L"f", L"D:\\", 0, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(FoundFileHandOver, WorkerWaitsForRoomAndTheHoldAndTheWindowTakesAllInOrder)
{
    FoundFileHandOver box(2);
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
    FoundFileHandOver::Files files = box.TakeAll();
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

#pragma once
// Does one job on each item of a sequence on a few threads and hands the items back in the
// sequence's order. One thread at a time fills the next item (a read, in sequence), then works on
// it while another fills the one after. At most `depth` items are between being filled and being
// taken back, so memory stays bounded by the items in flight however slow the taker is. With one
// worker, or when no thread can be started, the taker's own thread fills and works: no thread of
// the pool's own.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace Vorlaq {

// The workers a pool is given: `asked` when set, else one per core but `busyCores`, the cores
// that threads outside the pool keep busy (at least one worker).
inline size_t PoolWorkers(unsigned asked, unsigned busyCores = 0) {
    if (asked > 0) return asked;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > busyCores ? cores - busyCores : 1;
}

// Items between being filled and being taken back: two per worker, so that one slow item does not
// hold the others back, and two more.
inline size_t PoolDepth(size_t workers) { return 2 * workers + 2; }

template <typename Item>
class OrderedPool {
public:
    // `fill` sets the next item of the sequence (its old storage kept for reuse); false past the
    // sequence's end. `work` does the job, given the item and the worker's index (below `workers`).
    using Fill = std::function<bool(Item&)>;
    using Work = std::function<void(Item&, size_t worker)>;

    OrderedPool(Fill fill, Work work, size_t workers, size_t depth)
        : fill_(std::move(fill)), work_(std::move(work)), slots_(depth < workers ? workers : depth) {
        if (workers < 2) return;
        for (size_t i = 0; i < workers; ++i) {
            try {
                threads_.emplace_back(&OrderedPool::Run, this, i);
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    // Asks the workers to stop after their current item and waits for them.
    ~OrderedPool() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        room_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    // The next item in sequence, its job done; `item`'s old storage goes back for reuse. False
    // once the sequence has ended.
    bool Take(Item& item) {
        if (threads_.empty()) {
            if (ended_ || !fill_(item)) {
                ended_ = true;
                return false;
            }
            work_(item, 0);
            return true;
        }
        std::unique_lock<std::mutex> hold(lock_);
        Slot& slot = slots_[taken_ % slots_.size()];
        done_.wait(hold, [&] { return slot.done || (ended_ && taken_ == filled_); });
        if (!slot.done) return false;
        std::swap(item, slot.item);
        slot.done = false;
        ++taken_;
        // Room for one more item: a worker may be waiting for it.
        room_.notify_one();
        return true;
    }

private:
    struct Slot {
        Item item;
        bool done = false;
    };

    void Run(size_t worker) {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            room_.wait(hold, [&] { return stop_ || ended_ || (!filling_ && filled_ - taken_ < slots_.size()); });
            if (stop_ || ended_) return;
            const uint64_t sequence = filled_;
            Slot& slot = slots_[sequence % slots_.size()];
            filling_ = true;
            hold.unlock();
            const bool more = fill_(slot.item);
            hold.lock();
            filling_ = false;
            if (!more) {
                ended_ = true;
                room_.notify_all();
                done_.notify_all();
                return;
            }
            ++filled_;
            room_.notify_one();  // the next item may be filled by another worker
            hold.unlock();
            work_(slot.item, worker);
            hold.lock();
            slot.done = true;
            if (sequence == taken_) done_.notify_one();
        }
    }

    Fill fill_;
    Work work_;
    std::vector<Slot> slots_;
    std::vector<std::thread> threads_;
    std::mutex lock_;
    // The workers wait on room_ (an item filled or taken, the end reached, or stop) and the taker
    // on done_ (the item it waits for done, or the end reached): neither wakes the other side
    // for nothing.
    std::condition_variable room_;
    std::condition_variable done_;
    uint64_t filled_ = 0;  // items filled (or being worked on) so far
    uint64_t taken_ = 0;   // items taken back so far
    bool filling_ = false;
    bool ended_ = false;
    bool stop_ = false;
};

}  // namespace Vorlaq

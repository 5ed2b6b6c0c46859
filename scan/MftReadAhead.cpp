#include "scan/MftReadAhead.h"

#include <system_error>

namespace Vorlaq {

MftReadAhead::MftReadAhead(std::function<void(MftBlock&)> read, uint64_t total, size_t depth)
    : read_(std::move(read)), total_(total), depth_(depth < 1 ? 1 : depth) {}

MftReadAhead::~MftReadAhead() {
    std::unique_lock<std::mutex> hold(lock_);
    StopThread(hold);
}

bool MftReadAhead::Take(uint64_t first, MftBlock& block) {
    std::unique_lock<std::mutex> hold(lock_);
    if (failed_ || first >= total_) return false;
    const bool inSequence = ready_.empty() ? next_ == first : ready_.front().first == first;
    if (!thread_.joinable() || !inSequence) {
        StopThread(hold);
        next_ = first;
        stop_ = false;
        try {
            thread_ = std::thread(&MftReadAhead::Run, this);
        } catch (const std::system_error&) {
            failed_ = true;
            return false;
        }
    }
    // The thread reads on until the total, one block after another from `first`: the block
    // asked for comes.
    walkWaits_ = true;
    filled_.wait(hold, [&] { return !ready_.empty(); });
    walkWaits_ = false;
    spare_.push_back(std::move(block));
    block = std::move(ready_.front());
    ready_.pop_front();
    if (threadRests_ && ready_.size() <= depth_ / 2) room_.notify_one();
    return true;
}

void MftReadAhead::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!stop_ && next_ < total_) {
        if (ready_.size() >= depth_) {
            threadRests_ = true;
            room_.wait(hold, [&] { return stop_ || ready_.size() <= depth_ / 2; });
            threadRests_ = false;
        }
        if (stop_) break;
        MftBlock block;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
        block.first = next_;
        hold.unlock();
        read_(block);
        hold.lock();
        if (stop_) break;
        // At least one record further on: the thread always reaches the total.
        next_ = block.first + (block.held ? block.held : block.records ? block.records : 1);
        ready_.push_back(std::move(block));
        if (walkWaits_) filled_.notify_one();
    }
}

void MftReadAhead::StopThread(std::unique_lock<std::mutex>& hold) {
    if (thread_.joinable()) {
        stop_ = true;
        room_.notify_one();
        hold.unlock();
        thread_.join();
        hold.lock();
    }
    for (MftBlock& block : ready_) spare_.push_back(std::move(block));
    ready_.clear();
}

}  // namespace Vorlaq

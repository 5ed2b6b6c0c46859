#include "scan/FoundFileChannel.h"

#include <cstddef>
#include <iterator>

namespace Vorlaq {

bool FoundFileChannel::WaitForRoom(std::unique_lock<std::mutex>& lock, const std::function<bool()>& keepWaiting) {
    while (!abandoned_ && (held_ || files_.size() >= limit_)) {
        // A taker that went away without a word (a closed window) cannot notify: look now and then.
        if (keepWaiting && !keepWaiting()) return false;
        room_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return !abandoned_;
}

bool FoundFileChannel::Put(Files& files, const std::function<bool()>& keepWaiting, bool* wasEmpty) {
    Files spent;  // freed once the lock is let go
    std::unique_lock<std::mutex> lock(mutex_);
    if (used_.size() > batch_) {
        spent.assign(std::make_move_iterator(used_.begin() + static_cast<std::ptrdiff_t>(batch_)),
                     std::make_move_iterator(used_.end()));
        used_.resize(batch_);
    }
    if (!WaitForRoom(lock, keepWaiting)) return false;
    if (wasEmpty) *wasEmpty = files_.empty();
    for (auto& file : files) files_.push_back(std::move(file));
    found_ += files.size();
    files.clear();
    if (files_.size() >= batch_) ready_.notify_one();
    return true;
}

bool FoundFileChannel::Put(std::unique_ptr<DeletedFileInfo>& file, const std::function<bool()>& keepWaiting,
                           bool* wasEmpty) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!WaitForRoom(lock, keepWaiting)) return false;
    if (wasEmpty) *wasEmpty = files_.empty();
    files_.push_back(std::move(file));
    ++found_;
    if (files_.size() >= batch_) ready_.notify_one();
    return true;
}

void FoundFileChannel::Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ready_.notify_one();
}

bool FoundFileChannel::Take(Files& taken, std::chrono::milliseconds tick) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait_for(lock, tick, [&] { return finished_ || files_.size() >= batch_; });
    taken.swap(files_);
    room_.notify_one();
    return finished_ && files_.empty();
}

FoundFileChannel::Files FoundFileChannel::TakeAll() {
    Files taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(files_);
    }
    room_.notify_one();
    return taken;
}

bool FoundFileChannel::Empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.empty();
}

void FoundFileChannel::GiveBack(Files& used) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (used_.empty()) {
        used_.swap(used);
        return;
    }
    for (auto& file : used) used_.push_back(std::move(file));
    used.clear();
}

void FoundFileChannel::TakeUsed(Files& into, size_t most) {
    std::lock_guard<std::mutex> lock(mutex_);
    while (into.size() < most && !used_.empty()) {
        into.push_back(std::move(used_.back()));
        used_.pop_back();
    }
}

void FoundFileChannel::Hold(bool on) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = on;
    }
    room_.notify_one();
}

void FoundFileChannel::Abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    room_.notify_all();
}

uint64_t FoundFileChannel::Found() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return found_;
}

}  // namespace Vorlaq

#pragma once
// Where a scan's worker leaves the files it finds and a front end takes them: the command line's
// printer, which takes batches while it shows progress, or the window, which is told when the
// channel was empty and takes everything on each message (a post per file could not keep up:
// under Wine each post and each retrieval is a round trip to the server). Ownership passes with
// the files. The worker waits while `limit` files are held, which bounds the memory when the
// taker is the slower side, or while the taker holds it back (a window in a message loop of its
// own, which takes posted messages before the user's input).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

class FoundFileChannel {
public:
    using Files = std::vector<std::unique_ptr<DeletedFileInfo>>;

    // `batch`: how many waiting files wake a Take before its tick.
    explicit FoundFileChannel(size_t limit = 4096, size_t batch = 2048) : limit_(limit), batch_(batch) {}

    // Worker: waits for room, then takes the files over (`files` is left empty) and returns true.
    // False, the files staying with the caller, once the taker abandoned the channel or when
    // `keepWaiting` (asked now and then while waiting) says to give up. *wasEmpty: nothing was
    // waiting to be taken, so the taker has not been told of these files yet.
    bool Put(Files& files, const std::function<bool()>& keepWaiting = {}, bool* wasEmpty = nullptr);
    bool Put(std::unique_ptr<DeletedFileInfo>& file, const std::function<bool()>& keepWaiting, bool* wasEmpty);
    // Worker: the walk has ended; nothing more comes.
    void Finish();

    // Taker: waits up to `tick` for a batch or the walk's end, then takes everything waiting, in
    // the order put. True once the walk has ended and nothing is left.
    bool Take(Files& taken, std::chrono::milliseconds tick);
    // Taker: everything waiting now.
    Files TakeAll();
    bool Empty() const;
    // Taker: files used, for the worker to fill anew (TakeUsed) or, past a batch of them, to
    // free on its thread at its next Put (an allocator serves a thread fastest from memory that
    // thread gave back).
    void GiveBack(Files& used);
    // Worker: up to `most` files given back, added to `into`.
    void TakeUsed(Files& into, size_t most);
    // Taker: holds the worker back, or lets it go on.
    void Hold(bool on);
    // Taker: takes nothing more; a worker waiting for room gives up.
    void Abandon();
    // Files put so far.
    uint64_t Found() const;

private:
    // Waits for room with the lock held; false when the worker is to give up.
    bool WaitForRoom(std::unique_lock<std::mutex>& lock, const std::function<bool()>& keepWaiting);

    const size_t limit_;
    const size_t batch_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::condition_variable ready_;
    Files files_;
    Files used_;
    uint64_t found_ = 0;
    bool held_ = false;
    bool finished_ = false;
    bool abandoned_ = false;
};

}  // namespace Vorlaq

#pragma once
// Reads blocks of MFT records on a thread of its own, a few blocks ahead of a walk that takes
// them in record order, so that reading the next block overlaps with working through this one.
// Each block starts where the one before it ends: after the records it held, or after all the
// records it asked for when it held none. At most `depth` blocks wait to be taken; once that many
// wait, the thread rests until half of them are taken, so that neither side is woken per block.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/AlignedBytes.h"

namespace Vorlaq {

// Consecutive records as one read of the $MFT's $DATA returned them.
struct MftBlock {
    uint64_t first = 0;    // the first record's number
    uint64_t records = 0;  // records asked for (at least 1)
    uint64_t held = 0;     // records read whole; 0 when the read failed
    AlignedBytes bytes;
    std::vector<uint8_t> passOver;  // per record held: 1 when a walk for deleted files passes over it
};

class MftReadAhead {
public:
    // `read` is given a block with `first` set and its vectors' storage to reuse; it sets the rest.
    // It runs on the read-ahead thread and must not touch what the walk's thread uses unguarded.
    // No block starts at or after `total`.
    MftReadAhead(std::function<void(MftBlock&)> read, uint64_t total, size_t depth = 8);
    // Stops the thread after its current read and waits for it.
    ~MftReadAhead();
    MftReadAhead(const MftReadAhead&) = delete;
    MftReadAhead& operator=(const MftReadAhead&) = delete;

    // The block that starts at record `first` (below the total); `block`'s old storage is kept
    // for a later read. A `first` out of sequence starts the reading over there. False when no
    // thread could be started: the caller reads the block itself.
    bool Take(uint64_t first, MftBlock& block);

private:
    void Run();
    // Ends the thread and drops the blocks read for it; `hold` is let go while it ends.
    void StopThread(std::unique_lock<std::mutex>& hold);

    std::function<void(MftBlock&)> read_;
    const uint64_t total_;
    const size_t depth_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable filled_;  // a block is ready, for a walk waiting on one
    std::condition_variable room_;    // blocks were taken, for the thread resting on a full queue
    std::deque<MftBlock> ready_;
    std::vector<MftBlock> spare_;  // blocks taken and given back, for their storage
    uint64_t next_ = 0;  // where the block being read or to be read next starts
    bool stop_ = false;
    bool walkWaits_ = false;
    bool threadRests_ = false;
    bool failed_ = false;
};

}  // namespace Vorlaq

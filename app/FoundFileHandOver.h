#pragma once
// Where a scan's worker leaves the files it finds for the window to take. Posting one message per
// file cannot keep up: under Wine each post and each retrieval is a round trip to the server
// (tens of microseconds, several times what adding the row costs), and the queue they build is
// taken before the user's input. So the worker puts files here and posts FileScanFound only when
// the box was empty; the window takes everything in the box on each message. Ownership passes
// with the files: from the worker into the box, from the box to the window. The worker waits
// while the box holds `limit` files, or while the window holds it (a modal box or a move/size or
// menu loop runs its own message loop, which takes posted messages before input as well).
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

class FoundFileHandOver {
public:
    static constexpr size_t kDefaultLimit = 4096;
    using Files = std::vector<std::unique_ptr<DeletedFileInfo>>;

    explicit FoundFileHandOver(size_t limit = kDefaultLimit) : limit_(limit) {}

    // Worker: waits for room, then takes the file over. False when `keepWaiting` said to give up
    // (the file stays with the caller). *wasEmpty: the window has not been told of this file yet.
    bool Put(std::unique_ptr<DeletedFileInfo>& file, const std::function<bool()>& keepWaiting, bool* wasEmpty);

    // Window's thread: everything in the box, in the order put.
    Files TakeAll();
    bool Empty() const;
    void Hold(bool on);

private:
    const size_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    Files files_;
    bool held_ = false;
};

}  // namespace Vorlaq

#include "scan/PostRetry.h"

#include <thread>

namespace Vorlaq {

bool PostUntilAccepted(const std::function<bool()>& post, const std::function<bool()>& receiverAlive,
                       const std::atomic<bool>& abandoned, std::chrono::milliseconds pause) {
    while (receiverAlive() && !abandoned.load(std::memory_order_relaxed)) {
        if (post()) return true;
        std::this_thread::sleep_for(pause);
    }
    return false;
}

}  // namespace Vorlaq

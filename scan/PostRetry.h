#pragma once
// Handing an event to a receiver whose queue may be full (a window's posted-message queue holds
// at most 10,000 messages): try again after a pause for as long as the receiver exists.
#include <atomic>
#include <chrono>
#include <functional>

namespace Vorlaq {

// Calls `post` until it succeeds, pausing between tries, while `receiverAlive` says the receiver
// still exists and `abandoned` is false. True when the event was posted; on false the caller
// still owns whatever the event carried.
bool PostUntilAccepted(const std::function<bool()>& post, const std::function<bool()>& receiverAlive,
                       const std::atomic<bool>& abandoned,
                       std::chrono::milliseconds pause = std::chrono::milliseconds(10));

}  // namespace Vorlaq

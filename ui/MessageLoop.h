#pragma once
// The thread's message loop with its message filters and idle handlers.
#include <windows.h>

#include <vector>

namespace Vorlaq {

// Sees every message before it is dispatched; true consumes it.
class MessageFilter {
public:
    virtual ~MessageFilter() = default;
    virtual bool PreTranslateMessage(MSG* msg) = 0;
};

// Runs when the queue has gone empty after input.
class IdleHandler {
public:
    virtual ~IdleHandler() = default;
    virtual bool OnIdle() = 0;
};

class MessageLoop {
public:
    virtual ~MessageLoop() = default;

    bool AddMessageFilter(MessageFilter* filter);
    bool RemoveMessageFilter(MessageFilter* filter);
    bool AddIdleHandler(IdleHandler* handler);
    bool RemoveIdleHandler(IdleHandler* handler);

    // Runs until WM_QUIT and returns its parameter. Posted messages are retrieved before input,
    // paint and timer messages, so a flood of them would keep the user waiting until it ended:
    // whenever kTurnInterval has passed since their last turn, the loop hands input, paints and
    // timers queued meanwhile to the filters and windows before it takes the next message.
    int Run();
    static constexpr DWORD kTurnInterval = 30;

    // Whether the message turns idle processing back on: everything but mouse moves,
    // non-client mouse moves, paints and the system timer.
    static bool IsIdleMessage(const MSG& msg);

protected:
    // Takes the input, paint and timer messages that are queued now (at most a bounded number)
    // through the filters to their windows.
    void HandTurnToInput();
    void Process(MSG& msg);
    // Filters, the most recently added first; the first that consumes ends the round.
    virtual bool PreTranslateMessage(MSG* msg);
    // Every idle handler in the order added. False: no further idle round until new input.
    virtual bool OnIdle(int idleCount);

private:
    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
};

}  // namespace Vorlaq

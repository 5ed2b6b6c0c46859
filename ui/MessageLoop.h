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

    // Runs until WM_QUIT and returns its parameter.
    int Run();

    // Whether the message turns idle processing back on: everything but mouse moves,
    // non-client mouse moves, paints and the system timer.
    static bool IsIdleMessage(const MSG& msg);

protected:
    // Filters, the most recently added first; the first that consumes ends the round.
    virtual bool PreTranslateMessage(MSG* msg);
    // Every idle handler in the order added. False: no further idle round until new input.
    virtual bool OnIdle(int idleCount);

private:
    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
};

}  // namespace Vorlaq

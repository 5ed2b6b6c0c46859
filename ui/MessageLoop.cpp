#include "ui/MessageLoop.h"

#include <algorithm>

namespace Vorlaq {

namespace {

constexpr UINT kSystemTimer = 0x0118;
// A turn ends after this many messages, so a window that never validates its paint cannot hold it.
constexpr int kTurnMessages = 64;

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item)
{
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end())
        return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item)
{
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

}  // namespace

bool MessageLoop::AddMessageFilter(MessageFilter* filter) { return AddUnique(filters_, filter); }
bool MessageLoop::RemoveMessageFilter(MessageFilter* filter) { return RemoveItem(filters_, filter); }
bool MessageLoop::AddIdleHandler(IdleHandler* handler) { return AddUnique(idleHandlers_, handler); }
bool MessageLoop::RemoveIdleHandler(IdleHandler* handler) { return RemoveItem(idleHandlers_, handler); }

bool MessageLoop::IsIdleMessage(const MSG& msg)
{
    switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
        return false;
    default:
        return true;
    }
}

bool MessageLoop::PreTranslateMessage(MSG* msg)
{
    // A filter may remove itself (its window closes) while we walk: walk a copy, and skip
    // filters that are gone by the time their turn comes.
    const std::vector<MessageFilter*> snapshot = filters_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (std::find(filters_.begin(), filters_.end(), *it) == filters_.end())
            continue;
        if ((*it)->PreTranslateMessage(msg))
            return true;
    }
    return false;
}

bool MessageLoop::OnIdle(int /*idleCount*/)
{
    const std::vector<IdleHandler*> snapshot = idleHandlers_;
    for (IdleHandler* handler : snapshot) {
        if (std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) != idleHandlers_.end())
            handler->OnIdle();
    }
    return false;
}

void MessageLoop::Process(MSG& msg)
{
    if (!PreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void MessageLoop::HandTurnToInput()
{
    MSG msg{};
    for (int taken = 0; taken < kTurnMessages; ++taken) {
        // Input before paint, as the system orders them; the timer range skips posted messages.
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_PAINT) &&
            !::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
            return;
        // The quit message comes through any filter: it stays for the loop to end on.
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Process(msg);
    }
}

int MessageLoop::Run()
{
    bool doIdle = true;
    int idleCount = 0;
    DWORD lastTurn = ::GetTickCount();
    MSG msg{};
    for (;;) {
        while (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                doIdle = false;
        }
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            continue;
        if (got == 0)
            break;
        Process(msg);
        if (IsIdleMessage(msg)) {
            doIdle = true;
            idleCount = 0;
        }
        const DWORD now = ::GetTickCount();
        if (now - lastTurn >= kTurnInterval) {
            HandTurnToInput();
            lastTurn = ::GetTickCount();
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace Vorlaq

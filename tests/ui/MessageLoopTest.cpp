// The message loop's filter order, idle rounds and quit code, and the module's loop map.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ui/AppModule.h"
#include "ui/MessageLoop.h"

using namespace Vorlaq;

namespace {

constexpr UINT kConsumed = WM_APP + 10;
constexpr UINT kLast = WM_APP + 11;

std::vector<std::string> events;

class RecordingLoop : public MessageLoop {
public:
    std::vector<int> idleCounts;

protected:
    bool OnIdle(int count) override
    {
        idleCounts.push_back(count);
        return MessageLoop::OnIdle(count);
    }
};

class FirstFilter : public MessageFilter {
public:
    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_MOUSEMOVE) {
            events.push_back("first:mousemove");
            // Come back later by timer: the quiet time in between shows whether the mouse
            // move turned idle processing back on.
            timer = ::SetTimer(nullptr, 0, 60, nullptr);
        } else if (msg->message == WM_TIMER) {
            events.push_back("first:timer");
            ::KillTimer(nullptr, timer);
        } else if (msg->message == kConsumed) {
            events.push_back("first:consumed");
        } else if (msg->message == kLast) {
            events.push_back("first:last");
            ::PostQuitMessage(2);
        }
        return false;
    }
    UINT_PTR timer = 0;
};

class SecondFilter : public MessageFilter {
public:
    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == kConsumed) {
            events.push_back("second:consumed");
            return true;
        }
        return false;
    }
};

class Idle : public IdleHandler {
public:
    Idle(const char* name, bool drives) : name_(name), drives_(drives) {}
    bool OnIdle() override
    {
        events.push_back(name_);
        if (drives_) {
            ++rounds_;
            if (rounds_ == 1) {
                ::PostThreadMessageW(::GetCurrentThreadId(), WM_MOUSEMOVE, 0, 0);
            } else if (rounds_ == 2) {
                ::PostThreadMessageW(::GetCurrentThreadId(), kConsumed, 0, 0);
                ::PostThreadMessageW(::GetCurrentThreadId(), kLast, 0, 0);
            }
        }
        return false;
    }

private:
    const char* name_;
    bool drives_;
    int rounds_ = 0;
};

TEST(MessageLoop, FiltersNewestFirstAndIdleRoundsOnlyAfterInput)
{
    events.clear();
    RecordingLoop loop;
    FirstFilter first;
    SecondFilter second;
    Idle idleA("idleA", true), idleB("idleB", false);
    ASSERT_TRUE(loop.AddMessageFilter(&first));
    ASSERT_TRUE(loop.AddMessageFilter(&second));
    EXPECT_FALSE(loop.AddMessageFilter(&second));
    ASSERT_TRUE(loop.AddIdleHandler(&idleA));
    ASSERT_TRUE(loop.AddIdleHandler(&idleB));

    EXPECT_EQ(loop.Run(), 2);
    const std::vector<std::string> expected{
        "idleA", "idleB",                     // queue empty at start
        "first:mousemove",                    // a mouse move does not start an idle round...
        "first:timer",                        // ...the timer does
        "idleA", "idleB",
        "second:consumed",                    // newest filter consumed it: the first never saw it
        "first:last"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(loop.idleCounts, (std::vector<int>{0, 0}));

    EXPECT_TRUE(loop.RemoveIdleHandler(&idleB));
    EXPECT_FALSE(loop.RemoveIdleHandler(&idleB));
    EXPECT_TRUE(loop.RemoveMessageFilter(&first));
}

// Keeps one posted message queued at all times, as a fast producer would, for at most `limit`
// rounds; notes when a timer and a paint got through, and quits at the timer.
class Flood : public MessageFilter {
public:
    static constexpr UINT kFlood = WM_APP + 12;
    int rounds = 0;
    int limit = 0;
    int timerAt = -1;
    int paintAt = -1;
    HWND painted = nullptr;

    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == kFlood) {
            if (timerAt >= 0)
                return true;  // the flood ends; the timer asked to quit
            if (++rounds < limit)
                ::PostThreadMessageW(::GetCurrentThreadId(), kFlood, 0, 0);
            else
                ::PostQuitMessage(0);
            return true;
        }
        if (msg->message == WM_TIMER && timerAt < 0) {
            timerAt = rounds;
            // Asked during a turn, the quit must still end the loop with this code.
            ::PostQuitMessage(7);
        }
        if (msg->message == WM_PAINT && msg->hwnd == painted && paintAt < 0)
            paintAt = rounds;
        return false;
    }
};

TEST(MessageLoop, TimersAndPaintsGetTheirTurnThroughAFloodOfPostedMessages)
{
    MessageLoop loop;
    Flood flood;
    flood.limit = 2000000;  // about a minute without the turns: the test fails rather than hangs
    ASSERT_TRUE(loop.AddMessageFilter(&flood));
    flood.painted = ::CreateWindowExW(0, L"STATIC", L"x", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                      nullptr, nullptr);
    ASSERT_NE(nullptr, flood.painted);
    ::ValidateRect(flood.painted, nullptr);
    ::InvalidateRect(flood.painted, nullptr, TRUE);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, nullptr);
    ::PostThreadMessageW(::GetCurrentThreadId(), Flood::kFlood, 0, 0);
    EXPECT_EQ(7, loop.Run());
    ::KillTimer(nullptr, timer);
    ::DestroyWindow(flood.painted);
    EXPECT_GE(flood.timerAt, 0) << "the timer never came through " << flood.rounds << " posted messages";
    EXPECT_GE(flood.paintAt, 0);
    EXPECT_LT(flood.timerAt, flood.limit);
}

TEST(MessageLoop, IdleMessageRule)
{
    auto idle = [](UINT message) { MSG m{}; m.message = message; return MessageLoop::IsIdleMessage(m); };
    EXPECT_FALSE(idle(WM_MOUSEMOVE));
    EXPECT_FALSE(idle(WM_NCMOUSEMOVE));
    EXPECT_FALSE(idle(WM_PAINT));
    EXPECT_FALSE(idle(0x0118));
    EXPECT_TRUE(idle(WM_TIMER));
    EXPECT_TRUE(idle(WM_KEYDOWN));
    EXPECT_TRUE(idle(WM_LBUTTONDOWN));
}

TEST(AppModule, MapsEachThreadToItsOwnLoop)
{
    AppModule& module = AppModule::instance();
    MessageLoop mine, other;
    ASSERT_TRUE(module.AddMessageLoop(&mine));
    EXPECT_FALSE(module.AddMessageLoop(&other));
    EXPECT_EQ(module.GetMessageLoop(), &mine);
    const DWORD me = ::GetCurrentThreadId();
    MessageLoop* seenFromThere = &mine;
    MessageLoop* mineFromThere = nullptr;
    std::thread worker([&] {
        seenFromThere = module.GetMessageLoop();
        mineFromThere = module.GetMessageLoop(me);
    });
    worker.join();
    EXPECT_EQ(seenFromThere, nullptr);
    EXPECT_EQ(mineFromThere, &mine);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    EXPECT_FALSE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetModuleInstance(), ::GetModuleHandleW(nullptr));
}

}  // namespace

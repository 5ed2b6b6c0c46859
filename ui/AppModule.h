#pragma once
// The application module: the instance handle that resources and window classes come from, and
// the map from a user-interface thread to its message loop.
#include <windows.h>

#include <map>
#include <mutex>

namespace Vorlaq {

class MessageLoop;

class AppModule {
public:
    static AppModule& instance();

    bool Init(HINSTANCE instance);
    void Term();

    // The instance given to Init, or the executable's when Init has not run.
    HINSTANCE GetModuleInstance() const;
    HINSTANCE GetResourceInstance() const { return GetModuleInstance(); }

    // One loop per thread; false when the thread has one already.
    bool AddMessageLoop(MessageLoop* loop);
    bool RemoveMessageLoop();
    MessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

private:
    AppModule() = default;

    HINSTANCE instance_ = nullptr;
    mutable std::mutex lock_;
    std::map<DWORD, MessageLoop*> loops_;
};

}  // namespace Vorlaq

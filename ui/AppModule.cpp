#include "ui/AppModule.h"

namespace Vorlaq {

AppModule& AppModule::instance()
{
    static AppModule module;
    return module;
}

bool AppModule::Init(HINSTANCE instance)
{
    instance_ = instance;
    return true;
}

void AppModule::Term()
{
    std::lock_guard<std::mutex> guard(lock_);
    loops_.clear();
}

HINSTANCE AppModule::GetModuleInstance() const
{
    return instance_ ? instance_ : ::GetModuleHandleW(nullptr);
}

bool AppModule::AddMessageLoop(MessageLoop* loop)
{
    if (loop == nullptr)
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    return loops_.emplace(::GetCurrentThreadId(), loop).second;
}

bool AppModule::RemoveMessageLoop()
{
    std::lock_guard<std::mutex> guard(lock_);
    return loops_.erase(::GetCurrentThreadId()) != 0;
}

MessageLoop* AppModule::GetMessageLoop(DWORD threadId) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = loops_.find(threadId);
    return it == loops_.end() ? nullptr : it->second;
}

}  // namespace Vorlaq

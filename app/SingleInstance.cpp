#include "app/SingleInstance.h"

#include "base/LogManager.h"

namespace Vorlaq {

bool SingleInstance::isAnotherRunning()
{
    const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name_.c_str());
    if (mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;  // ours until the process ends: the handle is deliberately never closed
    if (mutex != nullptr)
        ::CloseHandle(mutex);
    LogManager::instance().print(LogLevel::Error, L"I am running.");
    return true;
}

bool SingleInstance::bringToFront(HWND window)
{
    if (!::IsWindow(window))
        return false;
    if (::IsIconic(window))
        ::ShowWindow(window, SW_RESTORE);
    // The system lets a process take the foreground only from the foreground's input queue.
    const DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const DWORD thisThread = ::GetCurrentThreadId();
    ::AttachThreadInput(thisThread, foregroundThread, TRUE);
    ::SetForegroundWindow(window);
    ::AttachThreadInput(thisThread, foregroundThread, FALSE);
    return true;
}

}  // namespace Vorlaq

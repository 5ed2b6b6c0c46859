#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "base/Utf16.h"
#include "base/os/Terminal.h"

namespace Vorlaq {

namespace {
std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted.store(true);
    return TRUE;
}

// The standard handle when it is a console (GetConsoleMode fails on files and pipes).
HANDLE ConsoleHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle && GetConsoleMode(handle, &mode) ? handle : nullptr;
}
}  // namespace

std::vector<std::wstring> ProgramArguments(int, char**) {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

bool WriteStandardError(std::wstring_view text) {
    if (HANDLE console = ConsoleHandle(STD_ERROR_HANDLE)) {
        DWORD written = 0;
        return WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size();
    }
    std::string bytes = WideToUtf8(text);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stderr) == bytes.size();
    return std::fflush(stderr) == 0 && ok;
}

void KeepRunningWhenOutputCloses() {}

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

const std::atomic<bool>& InterruptFlag() { return interrupted; }

bool IsStandardErrorTerminal() { return ConsoleHandle(STD_ERROR_HANDLE) != nullptr; }

bool IsStandardOutputTerminal() { return ConsoleHandle(STD_OUTPUT_HANDLE) != nullptr; }

}  // namespace Vorlaq

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "base/Utf16.h"
#include "base/os/Terminal.h"

namespace Vorlaq {

std::vector<std::wstring> ProgramArguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc && argv && argv[i]; ++i) arguments.push_back(Utf8ToWide(argv[i]));
    return arguments;
}

namespace {
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int) { interrupted.store(true); }
}  // namespace

bool WriteStandardError(std::wstring_view text) {
    std::string bytes = WideToUtf8(text);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stderr) == bytes.size();
    return std::fflush(stderr) == 0 && ok;
}

void KeepRunningWhenOutputCloses() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // reads and writes go on; the flag is polled between them
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    KeepRunningWhenOutputCloses();
}

const std::atomic<bool>& InterruptFlag() { return interrupted; }

bool IsStandardErrorTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool IsStandardOutputTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace Vorlaq

#pragma once
// The terminal side of a command-line program: its arguments as wide text and its error stream.
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace Vorlaq {

// The program's arguments, the program name first: the UTF-16 command line on Windows, the
// UTF-8 argument bytes elsewhere.
std::vector<std::wstring> ProgramArguments(int argc, char** argv);

// Writes the text to standard error (UTF-8 when redirected; the console's own text on Windows);
// false when it could not all be written.
bool WriteStandardError(std::wstring_view text);

// From now on a reader of standard output that goes away (SIGPIPE; `| head -1`) no longer ends
// the program: the write fails, and the program says so. Windows has no such signal.
void KeepRunningWhenOutputCloses();

// From now on an interrupt (SIGINT, SIGTERM or SIGHUP, a terminal or session closed; Ctrl+C or
// Ctrl+Break on Windows) no longer ends the program: it sets the flag below, which the program
// polls to stop in good order. Output that closes no longer ends it either, as above.
void CatchInterrupts();
const std::atomic<bool>& InterruptFlag();

// True when standard error (output) is an interactive terminal, not a file or a pipe.
bool IsStandardErrorTerminal();
bool IsStandardOutputTerminal();

}  // namespace Vorlaq

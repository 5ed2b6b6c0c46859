// quorret-cli: finds deleted files on an NTFS volume (an image, a block device or, on Windows, a
// drive letter) and restores them, from the command line.
#include <exception>

#include "base/LogManager.h"
#include "base/os/Terminal.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"

namespace {

enum LogWriterKind { kStderrWriter = 1, kErrorCapture = 2 };

int Run(int argc, char** argv) {
    using namespace Vorlaq;
    // Whatever the command, a closed pipe ends it only as a failed write (Console::Finish says so).
    KeepRunningWhenOutputCloses();
    std::vector<std::wstring> arguments = ProgramArguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    ParsedArguments parsed = ParseArguments(arguments);
    if (!parsed.ok) {
        WriteStandardError(L"quorret-cli: " + parsed.error + L"\n" + UsageText());
        return kExitUnusable;
    }
    CliOptions& options = parsed.options;
    if (options.command == CliCommand::Help || options.command == CliCommand::Version) {
        Console console(false);
        console.Out(options.command == CliCommand::Help ? UsageText() : VersionText());
        return console.Finish(kExitOk);
    }

    Console console(true);
    // The log manager owns its writers and outlives this function; the capture is only read here.
    auto* errors = new ErrorLogCapture(kErrorCapture);
    LogManager::instance().addWriter(errors);
    LogWriter* stderrWriter = options.verbose ? new StderrLogWriter(kStderrWriter, console) : nullptr;
    if (stderrWriter) LogManager::instance().addWriter(stderrWriter);

    int code = kExitUnusable;
    switch (options.command) {
    case CliCommand::Info: code = RunInfo(options, console, *errors); break;
    case CliCommand::Scan: code = RunScan(options, console, *errors); break;
    case CliCommand::Restore: code = RunRestore(options, console, *errors); break;
    case CliCommand::Help:
    case CliCommand::Version: break;
    }
    // The stderr writer refers to this console: no line may reach it once the console is gone.
    LogManager::instance().removeWriters(errors);
    if (stderrWriter) LogManager::instance().removeWriters(stderrWriter);
    return console.Finish(code);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception&) {
        Vorlaq::WriteStandardError(L"quorret-cli: out of memory or an internal error; nothing more was done.\n");
        return Vorlaq::kExitUnusable;
    }
}

#pragma once
// The three commands of quorret-cli. Each returns the process exit code: 0 success, 1 some file
// failed, 2 a volume that cannot be read or a record that is not a deleted file, 130 a restore
// ended by an interrupt.
#include "cli/Arguments.h"
#include "cli/Console.h"

namespace Vorlaq {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUnusable = 2;
constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

// Geometry, NTFS version, label and record count.
int RunInfo(CliOptions& options, Console& console, ErrorLogCapture& errors);
// The deleted files, in record order, in the chosen format; a summary on standard error.
int RunScan(CliOptions& options, Console& console, ErrorLogCapture& errors);
// The chosen or all found files into --out, one result line each, then the total.
int RunRestore(CliOptions& options, Console& console, ErrorLogCapture& errors);

}  // namespace Vorlaq

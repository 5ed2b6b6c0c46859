#pragma once
// Opening SOURCE the way every command starts: a whole-disk image is recognised and its NTFS
// partitions listed, --partition and --offset choose one, and a volume the reader refuses is
// refused with the reader's reasons. The source is opened once for the whole command.
#include <memory>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "scan/VolumeSession.h"

namespace Vorlaq {

// The session over SOURCE's volume, or null after saying on standard error why there is none
// (for `info`, a partition listing goes to standard output instead). *exitCode is set for the
// null case: 2, or 0 when `info` listed partitions. --partition N becomes the partition's offset
// in `options`, and a volume at a partition's offset (by either option) ends with that partition.
std::unique_ptr<VolumeSession> OpenSession(CliOptions& options, Console& console, ErrorLogCapture& errors,
                                           int* exitCode);

// The reasons the log gave since `errors` was last emptied (only the calling thread's with
// `ownOnly`), each as a line on standard error (already shown when --verbose sends the log there).
void ReportLoggedErrors(const CliOptions& options, Console& console, ErrorLogCapture& errors, bool ownOnly = false);

// A scan of a volume that opened ended in the failed state: the log's reasons and our own words.
// Returns the exit code, 2.
int ReportFailedScan(const CliOptions& options, const VolumeSession& session, Console& console,
                     ErrorLogCapture& errors);

// "SOURCE ends after 1048576 of the volume's 671088640 bytes: ...", for a short source.
std::wstring ShortSourceText(const CliOptions& options, const SourceExtent& extent);

// " The source holds 2 damaged chunks (their checksums failed).", for chunks whose checksums failed.
std::wstring DamagedChunksText(uint64_t chunks);

}  // namespace Vorlaq

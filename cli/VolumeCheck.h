#pragma once
// Opening SOURCE the way every command starts: a whole-disk image is recognised and its NTFS
// partitions listed, and a volume the reader refuses is refused with the reader's reasons.
#include <memory>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// What the engine opens for SOURCE: the drive letter's volume, or the image from --offset on
// (paths and log lines then show the volume as "\").
VolumeSource MakeVolumeSource(const CliOptions& options);

// --partition N becomes the offset of partition N in SOURCE's partition table, and a volume at a
// partition's offset (by either option) ends with that partition. False after saying on standard
// error why there is no such partition.
bool ResolvePartition(CliOptions& options, Console& console, ErrorLogCapture& errors);

// The opened volume, or null after saying on standard error why there is none (for `info`, a
// partition listing goes to standard output instead). *exitCode is set for the null case: 2, or
// 0 when `info` listed partitions.
std::unique_ptr<NTFSVolume> OpenCheckedVolume(const CliOptions& options, const VolumeSource& source,
                                              Console& console, ErrorLogCapture& errors, int* exitCode);

// The reasons the log gave since `errors` was last emptied (only the calling thread's with
// `ownOnly`), each as a line on standard error (already shown when --verbose sends the log there).
void ReportLoggedErrors(const CliOptions& options, Console& console, ErrorLogCapture& errors, bool ownOnly = false);

// A scan of a volume that opened ended in the failed state: the log's reasons and our own words.
// Returns the exit code, 2.
int ReportFailedScan(const CliOptions& options, uint64_t records, Console& console, ErrorLogCapture& errors);

}  // namespace Vorlaq

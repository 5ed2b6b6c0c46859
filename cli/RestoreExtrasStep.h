#pragma once
// The part of a restore that follows the file's bytes: its named streams (--streams), and what
// the file's result line says about them and about its times (--keep-times).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/os/Files.h"
#include "cli/Arguments.h"
#include "scan/RestoreFile.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

struct RestoredStream {
    std::wstring wanted;  // the file it was meant to go to, for a result line when none was made
    RestoreOutcome outcome;
};

struct RestoreExtrasResult {
    std::wstring note;                    // for the file's result line; empty when nothing to say
    std::vector<RestoredStream> streams;  // one result line each, after the file's
};

// For the file of record `record` just restored as `file` into `folder`: its named streams made
// beside it in the same folder with --streams (each created exclusively as "name_stream"); without
// --streams the note says how many were left out. A time that --keep-times could not set is a
// warning in the note. `stop` is polled between reads.
RestoreExtrasResult RestoreExtrasOf(const CliOptions& options, const VolumeSource& source, uint64_t record,
                                    Folder& folder, const RestoreOutcome& file, const std::atomic<bool>* stop);

}  // namespace Vorlaq

#pragma once
// The part of a restore beyond the bytes of the file's unnamed stream: its named streams
// (--streams), and what the file's result line says about them and about its times (--keep-times).
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

// The named streams of the file of record `record`, made while the file just restored is still
// open as `file` at `dest` in `folder`: each as the file's own named stream where the destination
// keeps them (Windows on NTFS), else beside it as "name_stream", created exclusively. One result
// each. The record is checked as the file's was (`fileChoices`' sequence number and whether a
// record in use is taken). `stop` is polled between reads.
std::vector<RestoredStream> RestoreNamedStreams(const VolumeSource& source, uint64_t record, Folder& folder,
                                                WritableFile& file, const std::wstring& dest,
                                                const RestoreChoices& fileChoices, const std::atomic<bool>* stop);

// The note on the result line of `file`, restored from record `record`: without --streams, how
// many named streams were left out; with --keep-times, a warning when its times were not set.
// Empty when there is nothing to say.
std::wstring RestoreNote(const CliOptions& options, const VolumeSource& source, uint64_t record,
                         const RestoreOutcome& file);

}  // namespace Vorlaq

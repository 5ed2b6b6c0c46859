#pragma once
// The part of a restore that follows the file's bytes: its times (--keep-times) and its named
// streams (--streams), with what the file's result line says about them.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

struct RestoredStream {
    std::wstring dest;
    bool ok = false;
};

struct RestoreExtrasResult {
    std::wstring note;                    // for the file's result line; empty when nothing to say
    std::vector<RestoredStream> streams;  // one result line each, after the file's
};

// For the file of record `record` just restored to `dest`: its times with --keep-times (a failure
// is a warning in the note), its named streams beside it with --streams; without --streams the
// note says how many were left out.
RestoreExtrasResult RestoreExtrasOf(const CliOptions& options, const VolumeSource& source, uint64_t record,
                                    const std::wstring& dest);

}  // namespace Vorlaq

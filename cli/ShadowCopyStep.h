#pragma once
// --shadow-copies on the command line: the files that only the volume's shadow copies still hold,
// listed after the volume's own deleted files and restored from their copy; and the copies named
// by `info`.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "scan/DeletedFileInfo.h"
#include "scan/ShadowCopyScan.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// False, after saying so on standard error, when --shadow-copies was given to a build that
// cannot read shadow copies (Windows).
bool ShadowCopiesUsable(const CliOptions& options, Console& console);

// `info`'s lines for the volume's shadow copies, read from its catalog: how many, then each with
// its number, creation time and whether it is offline. Empty when the volume keeps none.
std::wstring DescribeShadowCopies(const VolumeSource& source);

// "2:38": the name a copy's file goes by in the table and in restore's arguments and results.
std::wstring ShadowFileId(const DeletedFileInfo& file);

struct ShadowCopyFiles {
    std::shared_ptr<ShadowCopies> copies;  // null when the volume keeps none
    size_t read = 0;                        // copies walked
    std::vector<DeletedFileInfo> files;     // FindShadowCopyFiles's answer
    uint64_t neverWritten = 0;              // records of all zeros: logged as invalid, but no error
};

// The source's shadow copies opened and walked; what was damaged is said on standard error, one
// line each, and the rest is read.
ShadowCopyFiles FindShadowFiles(const CliOptions& options, const VolumeSource& source, const FileFilter& filter,
                                Console& console, ErrorLogCapture& errors, const std::atomic<bool>* stop = nullptr);

// The words scan's summary ends with: " Shadow copies: 2 read, 3 files found."
std::wstring ShadowSummaryText(const ShadowCopyFiles& found);

}  // namespace Vorlaq

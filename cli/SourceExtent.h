#pragma once
// Whether SOURCE holds the whole volume its boot sector describes: an image cut short (a copy
// that stopped, a download that broke off) reads as a volume whose later records and files fail.
#include <cstdint>
#include <string>

#include "cli/Arguments.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

struct SourceExtent {
    uint64_t volumeBytes = 0;  // total sectors times sector size, from the boot sector; 0 unknown
    uint64_t heldBytes = 0;    // how many of them SOURCE holds, when fewer; else volumeBytes
    bool IsShort() const { return heldBytes < volumeBytes; }
};

// Measured with reads of one sector each (a binary search for the end when it comes early). A
// drive letter is taken as whole.
SourceExtent MeasureSource(const CliOptions& options, NTFSVolume& volume);

// "SOURCE ends after 1048576 of the volume's 671088640 bytes: ...", for a short source.
std::wstring ShortSourceText(const CliOptions& options, const SourceExtent& extent);

}  // namespace Vorlaq

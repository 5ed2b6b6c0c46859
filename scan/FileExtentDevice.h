#pragma once
// A file of a volume read as a device of its own: a volume kept in a file (a virtual machine's
// disk, a raw image) is read through that file's runs, its sparse runs as zeros, whatever the
// file system now on the source says of those clusters.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/os/Device.h"
#include "ntfs/NTFSDataRun.h"

namespace Vorlaq {

// Where a file's bytes lie on the source: the runs of its unnamed $DATA, in clusters of
// `clusterSize` from its volume's start `volumeStart`, up to its data size `size`.
struct FileExtent {
    uint64_t volumeStart = 0;
    uint32_t clusterSize = 0;
    std::vector<tagNTFSDataRunEntry> runs;
    uint64_t size = 0;

    // The extent of those runs, less any whose bytes would lie past 2^64 on the source or in the
    // file (a hostile run list): what is left can be computed on without overflow.
    static FileExtent Of(uint64_t volumeStart, uint32_t clusterSize, const std::vector<tagNTFSDataRunEntry>& runs,
                         uint64_t size);

    // The byte of the file that byte `position` of the source holds; none where no run of the
    // file lies (or past its size).
    std::optional<uint64_t> FileOffsetOf(uint64_t position) const;
};

// The file's bytes, read from `source`; a read stops at its data size.
std::unique_ptr<Device> OpenFileExtent(std::unique_ptr<Device> source, FileExtent extent);

}  // namespace Vorlaq

#include "scan/FileExtentDevice.h"

#include <algorithm>
#include <cstring>

namespace Vorlaq {

namespace {

class FileExtentDevice : public Device {
public:
    FileExtentDevice(std::unique_ptr<Device> source, FileExtent extent)
        : source_(std::move(source)), extent_(std::move(extent)) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        auto* out = static_cast<uint8_t*>(buffer);
        const uint64_t cluster = extent_.clusterSize;
        while (*delivered < length && offset < extent_.size) {
            const tagNTFSDataRunEntry* run = RunAt(offset / cluster);
            if (!run) return true;  // no run maps it: the file ends early here
            const uint64_t inRun = offset - run->StartVCN * cluster;
            const uint64_t runBytes = std::min(run->Clusters * cluster, extent_.size - run->StartVCN * cluster);
            const uint32_t want = static_cast<uint32_t>(
                std::min<uint64_t>({length - *delivered, runBytes - inRun, extent_.size - offset}));
            uint32_t got = want;
            if (run->LCN < 0) {
                std::memset(out + *delivered, 0, want);
            } else {
                const uint64_t at = extent_.volumeStart + static_cast<uint64_t>(run->LCN) * cluster + inRun;
                if (!source_->ReadAt(at, out + *delivered, want, &got)) return false;
            }
            *delivered += got;
            offset += got;
            if (got < want) return true;  // the source ends early
        }
        return true;
    }

private:
    // The run that maps cluster `vcn` of the file; null for none.
    const tagNTFSDataRunEntry* RunAt(uint64_t vcn) const {
        for (const tagNTFSDataRunEntry& run : extent_.runs)
            if (run.Clusters != 0 && vcn >= run.StartVCN && vcn - run.StartVCN < run.Clusters) return &run;
        return nullptr;
    }

    std::unique_ptr<Device> source_;
    const FileExtent extent_;
};

}  // namespace

FileExtent FileExtent::Of(uint64_t volumeStart, uint32_t clusterSize, const std::vector<tagNTFSDataRunEntry>& runs,
                          uint64_t size) {
    FileExtent extent{volumeStart, clusterSize, {}, size};
    if (clusterSize == 0) return extent;
    const uint64_t most = UINT64_MAX / clusterSize;  // clusters that fit in 2^64 bytes
    for (const tagNTFSDataRunEntry& run : runs) {
        const bool fileFits = run.StartVCN <= most && run.Clusters <= most - run.StartVCN;
        const bool sourceFits = run.LCN < 0 || (static_cast<uint64_t>(run.LCN) <= most - run.Clusters &&
                                                (static_cast<uint64_t>(run.LCN) + run.Clusters) * clusterSize <=
                                                    UINT64_MAX - volumeStart);
        if (fileFits && sourceFits) extent.runs.push_back(run);
    }
    return extent;
}

std::optional<uint64_t> FileExtent::FileOffsetOf(uint64_t position) const {
    if (position < volumeStart || clusterSize == 0) return std::nullopt;
    const uint64_t cluster = (position - volumeStart) / clusterSize;
    for (const tagNTFSDataRunEntry& run : runs) {
        if (run.LCN < 0 || cluster < static_cast<uint64_t>(run.LCN) || cluster - static_cast<uint64_t>(run.LCN) >= run.Clusters)
            continue;
        const uint64_t offset = (run.StartVCN + cluster - static_cast<uint64_t>(run.LCN)) * clusterSize +
                                (position - volumeStart) % clusterSize;
        if (offset < size) return offset;
    }
    return std::nullopt;
}

std::unique_ptr<Device> OpenFileExtent(std::unique_ptr<Device> source, FileExtent extent) {
    if (!source || extent.clusterSize == 0) return nullptr;
    return std::make_unique<FileExtentDevice>(std::move(source), std::move(extent));
}

}  // namespace Vorlaq

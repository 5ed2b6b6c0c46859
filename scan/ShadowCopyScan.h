#pragma once
// Files that a volume's shadow copies still hold and the volume itself no longer does. Each copy
// is read as a volume of its own through the device interface; its files (in use or deleted in
// the copy) are compared record by record with the live volume.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/os/ShadowCopies.h"
#include "scan/DeletedFileInfo.h"
#include "scan/FileFilter.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// The shadow copies of one source's volume, opened once for a run.
class ShadowCopies {
public:
    // Null when the volume keeps none (or this build cannot read them); a damaged catalog or
    // store is logged and the copies still readable are offered. The volume's boot sector gives
    // its size.
    static std::shared_ptr<ShadowCopies> Open(const VolumeSource& source);

    // In catalog order, numbered as libvshadow's tools number them.
    const std::vector<ShadowCatalogEntry>& GetCopies() const { return set_->GetCopies(); }
    // Copy `number` as a source the reader and the restore open like any other; paths and log
    // lines show it with `volumeText`.
    VolumeSource SourceOf(uint32_t number, const std::wstring& volumeText) const;

private:
    explicit ShadowCopies(std::shared_ptr<ShadowCopySet> set) : set_(std::move(set)) {}
    std::shared_ptr<ShadowCopySet> set_;
};

// For each copy, oldest first, each in record order: every file of the copy (not a folder, with
// a Win32 name passing `filter`) whose record on `live` is free, deleted, or holds another file
// (another sequence number or name). A file found in several copies with the same content is
// given once, from the newest copy that holds it. The files carry their copy's number and time;
// a copy whose volume cannot be read is logged, named in `unreadable` and passed over. `stop`,
// when set, ends the walk.
struct ShadowCopyFound {
    std::vector<DeletedFileInfo> files;
    std::vector<uint32_t> unreadable;
    uint64_t neverWritten = 0;  // records of all zeros read (NTFSFileRecord::IsNeverWritten)
};
ShadowCopyFound FindShadowCopyFiles(const ShadowCopies& copies, const VolumeSource& live, const FileFilter& filter,
                                    const std::atomic<bool>* stop = nullptr);

}  // namespace Vorlaq

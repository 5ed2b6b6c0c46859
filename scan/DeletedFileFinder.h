#pragma once
// The walk's rule for one block of MFT records, on any thread: the records that are not in use,
// not a directory, not an extension record, have a Win32 name and pass the filter, with all a
// report needs but the folder path. The path, the Recycle Bin's join and the log lines are left
// to the side that takes the blocks back in record order (FileScanTask), so that what a scan
// reports and logs is the same however many threads found it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/LogManager.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/DeletedFileInfo.h"
#include "scan/FileFilter.h"
#include "scan/MftRecordReader.h"
#include "scan/Recoverability.h"

namespace Vorlaq {

// A record whose folder path the walk asks for. The block's log lines up to `logAtPath` come
// before the path is built, those up to `logAtIndex` after it, and those up to `logEnd` belong to
// reading the index file's content, which counts only when the Recycle Bin's join reads it.
struct FoundRecord {
    uint64_t number = 0;
    uint64_t parentRef = 0;
    bool shown = false;                     // passes the filter (and, when asked, is intact)
    std::unique_ptr<DeletedFileInfo> file;  // null when neither shown nor an index file
    std::vector<uint8_t> indexContent;      // an index file's unnamed $DATA ($I names only)
    size_t logAtPath = 0;
    size_t logAtIndex = 0;
    size_t logEnd = 0;
};

struct BlockFindings {
    std::vector<FoundRecord> records;  // in record order
    std::vector<LogLine> log;          // every line the block's records logged, in order
    uint64_t neverWritten = 0;         // records of all zeros (NTFSFileRecord::IsNeverWritten)
    // Files a taker is done with, filled anew before any is made.
    std::vector<std::unique_ptr<DeletedFileInfo>> reusable;
};

class DeletedFileFinder {
public:
    // Everything given is shared with the other finders and read only; `bitmap` may be null.
    // Clusters from `heldClusters` on lie past the end of a source cut short.
    DeletedFileFinder(const NTFSVolume& volume, const MftRecordReader& reader, const FileFilter& filter,
                      RecoverabilityMode mode, NTFSClusterBitmap* bitmap, uint64_t heldClusters,
                      const std::wstring& volumeText, const std::atomic<bool>& stop);

    // Replaces `found`'s records and log with the findings of the records `block` covers, filling
    // its reusable files before making any; stops early once `stop` is set. The records' bytes
    // are fixed up in the block: it is read again before further use.
    void Find(MftBlock& block, BlockFindings& found);

private:
    const NTFSVolume& volume_;
    const MftRecordReader& reader_;
    const FileFilter& filter_;
    const RecoverabilityMode mode_;
    NTFSClusterBitmap* bitmap_;
    const uint64_t heldClusters_;
    const std::shared_ptr<const std::wstring> volumeText_;  // one text for every file found
    const std::atomic<bool>& stop_;
    NTFSFileRecord record_;  // this finder's own, reused for every record
    std::wstring name_;      // the record's shown name, its storage reused for every record
};

}  // namespace Vorlaq

#pragma once
// Names of deleted files whose records are gone, from the traces they left: index entries in the
// slack of their folder's index blocks, $FILE_NAME attributes and index entries in the slack of
// file records, and the change journal's deletions and old names. One walk over the MFT after
// the scan's own, then the journal. A name is believed only when its bytes pass the carver's
// checks (NTFSSlackNames.h) and its parent reference names a folder record of that sequence
// number (the folder an index block belongs to, for index slack). It is dropped when a record
// holds that name in that folder (a deleted file the scan lists, a slack copy of a live entry);
// it is marked an old name when the file it names still holds its record under another name.
// Folders are left out: their names show in their files' paths. Several traces of one name in
// one folder make one row.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/DeletedFileInfo.h"
#include "scan/FileFilter.h"

namespace Vorlaq {

class NTFSVolume;

struct TraceScanCounts {
    uint64_t candidates = 0;  // plausible names carved or journal records of a deletion or old name
    uint64_t rows = 0;        // rows made of them
    bool journal = false;     // the change journal was found and read
};

// Rows for `volumeText`, numbered 1, 2, ... in the order of the walk (index and record slack by
// record number, then the journal's), each with its TraceSources; their times are those of the
// $FILE_NAME found (none for a name only the journal holds), the deletion time the journal's.
std::vector<std::unique_ptr<DeletedFileInfo>> ScanTraces(const NTFSVolume& volume, const std::wstring& volumeText,
                                                         const FileFilter& filter, const std::atomic<bool>& stop,
                                                         TraceScanCounts* counts = nullptr);

}  // namespace Vorlaq

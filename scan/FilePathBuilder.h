#pragma once
// The folder a file lived in, rebuilt from the parent references of its $FILE_NAME and of each
// folder above it: "C:\Work\Reports\", or the volume root followed by "Unknown" when the chain
// cannot be followed (unreadable record, a parent that is not a named folder, reference 0, or a
// loop of references).
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

// The name a record shows, its $FILE_NAME attributes parsed: the Win32 (or POSIX) name; for a
// record whose Win32 or POSIX $FILE_NAME holds no characters, "record-N", so that the file or
// folder stays visible; empty for a record with only an 8.3 name or none at all.
std::wstring ShownRecordName(NTFSFileRecord& record, uint64_t recordNumber);
// The same into `name`, whose storage is reused.
void ShownRecordName(NTFSFileRecord& record, uint64_t recordNumber, std::wstring& name);

// Reads the file's record, then climbs as DirectoryPathCache does, for one file.
std::wstring BuildFilePath(const NTFSVolume& volume, uint64_t recordNumber);

// The same results for the files of one scan, each folder read once. A folder keeps only its own
// level and the folder above it, so that memory grows with the names, not with the depth; the
// files of one folder usually come one after another, and its last path is kept whole.
class DirectoryPathCache {
public:
    explicit DirectoryPathCache(const NTFSVolume& volume);

    // The path of a file whose record `recordNumber` names `parentRef` as its parent (the scan
    // has that record read already).
    std::wstring BuildFilePath(uint64_t recordNumber, uint64_t parentRef);
    // The same text, shared with the files before it when they lay in the same folder.
    std::shared_ptr<const std::wstring> SharedFilePath(uint64_t recordNumber, uint64_t parentRef);

private:
    struct Folder {
        uint64_t above = 0;  // the folder this one lies in; itself for the root
        std::wstring level;  // "Name\\"; empty for the root
        bool known = false;  // false when the chain above cannot be followed: "Unknown"
    };

    // The folder `directory`, read and climbed from the first time it is asked for.
    const Folder& Resolve(uint64_t directory);
    // The root followed by the levels from the top down to `directory`, a known folder.
    std::wstring PathOf(uint64_t directory) const;

    const NTFSVolume& volume_;
    NTFSFileRecord record_;  // reused for every folder read
    std::wstring root_;
    std::unordered_map<uint64_t, Folder> folders_;
    uint64_t lastDirectory_ = 0;
    std::shared_ptr<const std::wstring> lastPath_;
};

}  // namespace Vorlaq

#pragma once
// The folder a file lived in, rebuilt from the parent references of its $FILE_NAME and of each
// folder above it: "C:\Work\Reports\", or the volume root followed by "Unknown" when the chain
// cannot be followed (unreadable record, a parent that is not a named folder, reference 0, or a
// loop of references).
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

// The name a record shows, its $FILE_NAME attributes parsed: the Win32 (or POSIX) name; for a
// record whose Win32 or POSIX $FILE_NAME holds no characters, "record-N", so that the file or
// folder stays visible; empty for a record with only an 8.3 name or none at all.
std::wstring ShownRecordName(NTFSFileRecord& record, uint64_t recordNumber);

// Reads the file's record, then climbs as DirectoryPathCache does, for one file.
std::wstring BuildFilePath(const NTFSVolume& volume, uint64_t recordNumber);

// The same results for the files of one scan, each folder read once: a folder's path is kept the
// first time a file below it asks for it.
class DirectoryPathCache {
public:
    explicit DirectoryPathCache(const NTFSVolume& volume);

    // The path of a file whose record `recordNumber` names `parentRef` as its parent (the scan
    // has that record read already).
    std::wstring BuildFilePath(uint64_t recordNumber, uint64_t parentRef);

private:
    // The path of folder `directory` (ending in its own name), or nothing for "Unknown".
    const std::optional<std::wstring>& Resolve(uint64_t directory);

    const NTFSVolume& volume_;
    NTFSFileRecord record_;  // reused for every folder read
    std::wstring root_;
    std::unordered_map<uint64_t, std::optional<std::wstring>> folders_;
};

}  // namespace Vorlaq

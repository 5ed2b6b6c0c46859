#pragma once
// What a restored file keeps besides its bytes: its times, and whether its folder's file system
// can hold named streams beside its data.
#include <cstdint>
#include <string>

namespace Vorlaq {

// Sets the times of the existing file at `path` (UTC FILETIMEs; 0 leaves that time as it is):
// modification and access everywhere, creation where the system keeps one (Windows). A link at
// `path` is not followed. False with the platform's error code in *error.
bool SetFileTimes(const std::wstring& path, uint64_t created, uint64_t modified, uint64_t accessed, uint32_t* error);

// True when files in `folder` can carry named data streams (a Windows volume whose file system
// has them, such as NTFS); always false on POSIX.
bool SupportsNamedStreams(const std::wstring& folder);

}  // namespace Vorlaq

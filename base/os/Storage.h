#pragma once
// Where a folder's bytes are kept: restoring onto the very volume being read would write over
// the deleted files still to be read.
#include <string>

namespace Vorlaq {

// True when the folder `path` (or, while it does not exist yet, its nearest existing parent) lies
// on a file system kept in `source`, an image file or block device: mounted from that block
// device or one of its partitions, from a loop device backed by that file, or by a FUSE driver
// from that file. False when it lies elsewhere or this cannot be told (Windows, where the caller
// compares drive letters).
bool LiesOnSource(const std::wstring& path, const std::wstring& source);

}  // namespace Vorlaq

#pragma once
// The found files as a body file, the timeline input of The Sleuth Kit's mactime: one line per
// file, fields separated by '|':
//   MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime
// MD5 0; the full path with '/' separators; the record number (0 for a name found only in
// traces, whose times are those of the $FILE_NAME found); the mode as that kit writes it
// for a deleted NTFS file ("-/rrwxrwxrwx", "-/rr-xr-xr-x" when read-only); UID and GID 0; the
// unnamed stream's size; the $STANDARD_INFORMATION access, modification, record change and
// creation times in Unix seconds (0 when unknown or before 1970).
#include <memory>

#include "cli/Console.h"
#include "cli/ScanPrinter.h"

namespace Vorlaq {

std::unique_ptr<ScanPrinter> MakeBodyPrinter(Console& console);

}  // namespace Vorlaq

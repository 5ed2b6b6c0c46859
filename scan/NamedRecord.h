#pragma once
// A record named by its number rather than found by a scan: whether it is a deleted file worth
// restoring, and the found-file entry a restore of it works from.
#include <cstdint>

#include "scan/DeletedFileInfo.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// Why a record named by its number cannot be restored, checked before anything is written.
enum class RecordFitness { Restorable, SystemFile, BeyondMft, Directory, InUse, Unreadable };
RecordFitness CheckRestorableRecord(const NTFSVolume& volume, uint64_t recordNumber);

// Its Win32 name read the way the scan reads it ("record-N" without one) and, with `withPath`,
// its folder (BuildFilePath); otherwise the volume root. Size and times are left empty.
DeletedFileInfo DescribeNamedRecord(const NTFSVolume& volume, uint64_t recordNumber, bool withPath);

}  // namespace Vorlaq

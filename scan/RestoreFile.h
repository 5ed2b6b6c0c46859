#pragma once
// Copies a deleted file's unnamed $DATA stream out of the volume into a new file. Runs on the
// caller's thread and blocks it for the whole copy; a window caller shows the wait cursor around
// the call.
#include <cstdint>
#include <string>

#include "scan/VolumeSource.h"

namespace Vorlaq {

// `volume` is the found file's volume text (C:\); its first character names the drive. True when
// the destination was created and every byte of the stream was read and written to it.
bool RestoreFile(const std::wstring& volume, uint64_t recordNumber, const std::wstring& destPath);
// With a `streamName`, the $DATA stream of that name is copied instead of the unnamed one.
bool RestoreFile(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                 const std::wstring& streamName = std::wstring());

// A destination for a file about to be written at path without overwriting anything: the name
// cleaned of characters the file system refuses, then numbered (name_0.ext, name_1.ext, ...) from
// 0 while an entry of that name exists. Empty when path is empty or when the folder cannot be
// examined (the failure is logged).
std::wstring MakeUniqueFileName(const std::wstring& path);

}  // namespace Vorlaq

#pragma once
// What a restored file can keep besides the bytes of its unnamed stream: the times of its
// $STANDARD_INFORMATION and its named data streams.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/VolumeSource.h"

namespace Vorlaq {

// The names of the record's named $DATA streams, in record order; empty when it has none or
// cannot be read.
std::vector<std::wstring> ListNamedStreams(const VolumeSource& source, uint64_t recordNumber);

// Where stream `stream` of the file restored at `filePath` goes: the file's own stream
// "file:stream" when `namedStreams` (its folder keeps them), else a new file "file_stream" beside
// it, numbered while that name is taken. The stream's name is made safe as a file name first, so
// it cannot lead out of the folder. Empty when the folder cannot be examined.
std::wstring StreamDestination(const std::wstring& filePath, const std::wstring& stream, bool namedStreams);

// Gives the file at `destPath` the record's modification and access times (and creation time
// where the system keeps one). False, with the platform's error code in *error (0 when the
// record has no times to give), when they could not be set.
bool KeepRecordTimes(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                     uint32_t* error);

}  // namespace Vorlaq

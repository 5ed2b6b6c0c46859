#pragma once
// What a restored file can keep besides the bytes of its unnamed stream: its named data streams.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/VolumeSource.h"

namespace Vorlaq {

// The names of the record's named $DATA streams, in record order; empty when it has none or
// cannot be read.
std::vector<std::wstring> ListNamedStreams(const VolumeSource& source, uint64_t recordNumber);

// The name of the file beside `fileName` that receives its stream `stream`: "fileName_stream".
// CreateUniqueFile makes it safe and unique, so it cannot lead out of the file's folder.
std::wstring StreamFileName(const std::wstring& fileName, const std::wstring& stream);

}  // namespace Vorlaq

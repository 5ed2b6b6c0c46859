#pragma once
// The log file keeps one generation: at start a missing file, or one that has reached 10 MiB,
// is created anew and empty; a smaller one is kept and appended to.
#include <cstdint>
#include <string>

#include "scan/FileSystem.h"

namespace Vorlaq {

constexpr uint64_t kLogSizeLimit = 10485760;  // 10 MiB

enum class LogRoll { Keep, CreateEmpty };

// `entry`: whether the file is there (Unknown counts as there, so nothing unseen is discarded);
// `sizeKnown` and `size`: its size when it could be read. A file whose size cannot be read is
// kept: its content is not thrown away on a guess.
LogRoll DecideLogRoll(EntryState entry, bool sizeKnown, uint64_t size);

// Looks at the file and creates it anew where DecideLogRoll says so. Failures are logged with
// their file-error texts and never stop the caller. True when the file was created.
bool RollLogFile(const std::wstring& path);

}  // namespace Vorlaq

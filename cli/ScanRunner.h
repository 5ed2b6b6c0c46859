#pragma once
// Runs one FileScanTask to its end on the command line: found files go to a callback on the
// calling thread, in record order, while the walk goes on; the progress line to a terminal.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/Console.h"
#include "scan/DeletedFileInfo.h"
#include "scan/FileScanTask.h"
#include "scan/Recoverability.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

struct ScanOutcome {
    int32_t state = 0;      // the task's final state: finished (2) or failed (3)
    uint64_t found = 0;     // files reported
    double seconds = 0.0;   // wall time of the walk
    RecycleBinCounts recycleBin;
    TraceScanCounts traces;
    uint64_t neverWritten = 0;  // records of all zeros: logged as invalid, but no error
};

// The file may be changed (restore renames it); it is freed once the call returns.
using FoundFileSink = std::function<void(DeletedFileInfo&)>;

// `walked` is the number of records the walk passes, for the rate and time-left estimate. Once `stop`
// is set, or (for a walk given a `stop`) the console's standard output is lost, the walk is asked
// to end. `threads` parse records (0: one per core but one).
ScanOutcome RunScanTask(const VolumeSource& source, const std::wstring& filter, uint64_t walked, Console& console,
                        FoundFileSink sink, const std::atomic<bool>* stop = nullptr,
                        RecoverabilityMode recoverability = RecoverabilityMode::Off, bool traces = false,
                        unsigned threads = 0);

}  // namespace Vorlaq

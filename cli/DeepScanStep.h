#pragma once
// The deep scan on the command line: the scan reads on a worker thread while the found files go
// to a callback on the calling thread; a terminal shows the bytes read, the rate and the time left.
#include <atomic>
#include <functional>
#include <string>

#include "cli/Console.h"
#include "scan/DeepScan.h"

namespace Vorlaq {

struct DeepScanRun {
    DeepScanResult result;
    double seconds = 0.0;
    bool stopped = false;  // `stop` ended it before the source's end
};

DeepScanRun RunDeepScanTask(DeepScan& deep, const FileFilter& filter, Console& console,
                            const std::function<void(DeletedFileInfo&)>& sink, const std::atomic<bool>* stop);

// "Deep scan read 1024 MiB in 0.81 s: 300 files found, 291 of them outside the live MFT." and
// each old file system the files come from: where it starts, its cluster size and how that is
// known, its files, the file it lies in, why its files are not restored.
std::wstring DeepScanSummaryText(const DeepScan& deep, const DeepScanRun& run);

}  // namespace Vorlaq

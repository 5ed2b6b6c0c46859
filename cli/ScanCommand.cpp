#include "base/WideFormat.h"
#include "cli/Commands.h"
#include "cli/ScanPrinter.h"
#include "cli/ScanRunner.h"
#include "cli/SourceExtent.h"
#include "cli/VolumeCheck.h"
#include "scan/FileScanTask.h"

namespace Vorlaq {

namespace {

RecoverabilityMode RecoverabilityFor(const CliOptions& options) {
    if (options.recoverableOnly) return RecoverabilityMode::IntactOnly;
    // A body file has no column for it.
    return options.recoverableColumn && options.format != ScanFormat::Body ? RecoverabilityMode::Report
                                                                           : RecoverabilityMode::Off;
}
}  // namespace

int RunScan(const CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    VolumeSource source = MakeVolumeSource(options);
    uint64_t records = 0;
    SourceExtent extent;
    {
        std::unique_ptr<NTFSVolume> volume = OpenCheckedVolume(options, source, console, errors, &exitCode);
        if (!volume) return exitCode;
        records = volume->GetRecordsCount();
        extent = MeasureSource(options, *volume);
    }

    const uint64_t errorsBefore = errors.Total();
    std::unique_ptr<ScanPrinter> printer = MakeScanPrinter(options.format, console, options.recoverableColumn);
    ScanPrinter* out = printer.get();
    ScanOutcome outcome = RunScanTask(source, options.filter.value_or(L""), records, console,
                                      [out](const DeletedFileInfo& file) { out->Add(file); },
                                      nullptr, RecoverabilityFor(options), options.threads);
    if (outcome.state != kScanFinished) return ReportFailedScan(options, records, console, errors);
    printer->Finish();
    uint64_t walked = records > kNTFSFirstUserRecord ? records - kNTFSFirstUserRecord : 0;
    std::wstring summary = FormatWide(L"Scanned %I64u records in %.2f s: %I64u deleted files found.", walked,
                                      outcome.seconds, outcome.found);
    if (const RecycleBinCounts& bin = outcome.recycleBin; bin.joined || bin.damaged)
        summary += FormatWide(L" Recycle Bin: %I64u original %s found, %I64u damaged $I %s ignored.", bin.joined,
                              bin.joined == 1 ? L"path" : L"paths", bin.damaged, bin.damaged == 1 ? L"file" : L"files");
    // A damaged MFT logs each record it cannot read and the walk goes on: say so, the files of
    // those records are missing from the list.
    if (uint64_t logged = errors.Total() - errorsBefore)
        summary += FormatWide(logged == 1 ? L" %I64u error was logged%s." : L" %I64u errors were logged%s.", logged,
                              options.verbose ? L"" : L" (--verbose shows the log)");
    // A source cut short explains those errors at once: say it once, here.
    if (extent.IsShort()) summary += L" " + ShortSourceText(options, extent);
    console.Err(summary);
    return kExitOk;
}

}  // namespace Vorlaq

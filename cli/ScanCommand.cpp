#include <algorithm>

#include "base/WideFormat.h"
#include "base/os/Terminal.h"
#include "cli/Commands.h"
#include "cli/DeepScanStep.h"
#include "cli/ScanPrinter.h"
#include "cli/ScanRunner.h"
#include "cli/ShadowCopyStep.h"
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
// Every file record on the source; Ctrl+C ends the read and lists what was found so far.
int RunDeepScanCommand(const CliOptions& options, VolumeSession& session, Console& console, ErrorLogCapture& errors) {
    const uint64_t errorsBefore = errors.Total();
    FileFilter filter;
    filter.SetFilters(options.filter.value_or(L""));
    DeepScan deep(session.GetSource(), RecoverabilityFor(options));
    deep.SetThreads(options.threads);
    std::unique_ptr<ScanPrinter> printer =
        MakeScanPrinter(options.format, console, options.recoverableColumn, false, false, true);
    CatchInterrupts();
    DeepScanRun run = RunDeepScanTask(deep, filter, console, [&](DeletedFileInfo& file) { printer->Add(file); },
                                      &InterruptFlag());
    printer->Finish();
    std::wstring summary = DeepScanSummaryText(deep, run);
    if (uint64_t logged = errors.Total() - errorsBefore)
        summary += FormatWide(logged == 1 ? L" %I64u error was logged%s." : L" %I64u errors were logged%s.", logged,
                              options.verbose ? L"" : L" (--verbose shows the log)");
    console.Err(summary);
    return run.stopped ? kExitInterrupted : kExitOk;
}

}  // namespace

int RunScan(CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    if (!ShadowCopiesUsable(options, console)) return exitCode;
    std::unique_ptr<VolumeSession> session = OpenSession(options, console, errors, &exitCode);
    if (!session) return exitCode;
    if (options.deep) return RunDeepScanCommand(options, *session, console, errors);
    const SourceExtent extent = session->GetExtent();

    const uint64_t errorsBefore = errors.Total();
    std::unique_ptr<ScanPrinter> printer =
        MakeScanPrinter(options.format, console, options.recoverableColumn, options.shadowCopies, options.traces);
    ScanPrinter* out = printer.get();
    ScanOutcome outcome = RunScanTask(session->GetSource(), options.filter.value_or(L""), session->GetUserRecordsCount(), console,
                                      [out](const DeletedFileInfo& file) { out->Add(file); },
                                      nullptr, RecoverabilityFor(options), options.traces, options.threads);
    if (outcome.state != kScanFinished) return ReportFailedScan(options, *session, console, errors);
    // The files only the shadow copies hold come after the volume's own.
    std::wstring shadowSummary;
    uint64_t neverWritten = outcome.neverWritten;
    if (options.shadowCopies) {
        FileFilter filter;
        filter.SetFilters(options.filter.value_or(L""));
        ShadowCopyFiles shadow = FindShadowFiles(options, session->GetSource(), filter, console, errors);
        for (const DeletedFileInfo& file : shadow.files) printer->Add(file);
        shadowSummary = ShadowSummaryText(shadow);
        neverWritten += shadow.neverWritten;
    }
    printer->Finish();
    const uint64_t traces = outcome.traces.rows;
    std::wstring summary = FormatWide(L"Scanned %I64u records in %.2f s: %I64u deleted files found.",
                                      session->GetUserRecordsCount(), outcome.seconds, outcome.found - traces);
    if (options.traces)
        summary += FormatWide(L" %I64u %s found only in traces%s.", traces, traces == 1 ? L"name" : L"names",
                              outcome.traces.journal ? L"" : L" (no change journal)");
    if (const RecycleBinCounts& bin = outcome.recycleBin; bin.joined || bin.damaged)
        summary += FormatWide(L" Recycle Bin: %I64u original %s found, %I64u damaged $I %s ignored.", bin.joined,
                              bin.joined == 1 ? L"path" : L"paths", bin.damaged, bin.damaged == 1 ? L"file" : L"files");
    // Records never written (all zeros; Windows leaves many) are logged as invalid, but they are
    // no damage: counted apart, of the volume's own.
    if (const uint64_t unused = outcome.neverWritten)
        summary += FormatWide(unused == 1 ? L" %I64u of the records was never used (all zeros)."
                                          : L" %I64u of the records were never used (all zeros).",
                              unused);
    // A damaged MFT logs each record it cannot read and the walk goes on: say so, the files of
    // those records are missing from the list.
    const uint64_t logged = errors.Total() - errorsBefore;
    if (const uint64_t real = logged - std::min(logged, neverWritten))
        summary += FormatWide(real == 1 ? L" %I64u error was logged%s." : L" %I64u errors were logged%s.", real,
                              options.verbose ? L"" : L" (--verbose shows the log)");
    // A source cut short explains those errors at once: say it once, here.
    if (extent.IsShort()) summary += L" " + ShortSourceText(options, extent);
    // Chunks whose checksums failed in what the scan read: files with data there are "damaged".
    if (uint64_t damaged = session->CountKnownDamage()) summary += DamagedChunksText(damaged);
    console.Err(summary + shadowSummary);
    return kExitOk;
}

}  // namespace Vorlaq

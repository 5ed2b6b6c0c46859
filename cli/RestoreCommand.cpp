#include <vector>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Terminal.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/RestoreExtrasStep.h"
#include "cli/ScanRunner.h"
#include "cli/VolumeCheck.h"
#include "scan/FileScanTask.h"
#include "scan/FileSystem.h"
#include "scan/NamedRecord.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kSiblingTries = 1000;

// The file's rebuilt folders below DIR, each name made safe the way file names are (SafeFileName:
// no separators, no "." or ".."), so nothing a volume stores can lead outside DIR. A path the
// scan could not rebuild ("\Unknown") gives the folder "Unknown".
std::vector<std::wstring> TreeLevels(const std::wstring& path, const std::wstring& volumeText) {
    std::wstring rest = path.starts_with(volumeText) ? path.substr(volumeText.size()) : path;
    std::vector<std::wstring> levels;
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = rest.find(L'\\', begin);
        if (end == std::wstring::npos) end = rest.size();
        if (end > begin) levels.push_back(SafeFileName(rest.substr(begin, end - begin)));
        begin = end + 1;
    }
    return levels;
}

// A file from an emptied Recycle Bin takes the name and folder it had before (D:\Work\a.docx:
// "a.docx" in "\Work\", the drive dropped); TreeLevels and SafeFileName then treat them like any
// stored name, so nothing an index file says can lead outside --out.
void UseOriginalName(DeletedFileInfo& file) {
    const std::wstring original = file.GetOriginalPath();
    const size_t cut = original.rfind(L'\\');
    if (cut == std::wstring::npos || cut < 2 || cut + 1 == original.size()) return;
    file.SetName(original.substr(cut + 1));
    file.SetPath(original.substr(2, cut - 1));
}

// Opens (making it where missing) the folder `levels` below `out`, one level at a time from the
// open --out, never through a link. A level taken by a link or by something that is not a folder
// (a found file of the same name restored earlier, say) is replaced by the first free numbered
// sibling, name_0, name_1, ...: the files of one found folder land together all the same, as the
// numbering is tried in the same order each time. The chain stays open while the file is made.
bool OpenTree(Folder& out, const std::vector<std::wstring>& levels, std::vector<std::unique_ptr<Folder>>& chain) {
    Folder* current = &out;
    for (const std::wstring& level : levels) {
        uint32_t error = 0;
        std::wstring name = level;
        std::unique_ptr<Folder> child = current->OpenChild(name, &error);
        // Bounded: each refusal leaves a folder made for nothing, should another program keep
        // turning every new name into a link.
        auto taken = [&error] { return error == kErrorStoppedOnSymlink || error == kErrorDirectory; };
        for (uint64_t k = 0; !child && taken() && k < kSiblingTries; ++k) {
            name = FormatWide(L"%s_%I64u", level, k);
            child = current->OpenChild(name, &error);
        }
        if (!child) {
            LogFileError(error, JoinPath(current->GetPath(), name));
            return false;
        }
        current = child.get();
        chain.push_back(std::move(child));
    }
    return true;
}

// Restores one file into --out (under its rebuilt folders with --tree) and prints its result line
// at once, so what is on disk and what the output says never part.
class FileRestorer {
public:
    FileRestorer(const CliOptions& options, const VolumeSource& source, Folder& out, Console& console,
                 ErrorLogCapture& errors)
        : options_(options), source_(source), out_(out), console_(console), errors_(errors) {}

    void Restore(const DeletedFileInfo& file) {
        if (Interrupted()) return;
        ++attempted_;
        errors_.TakeOwn();
        std::vector<std::unique_ptr<Folder>> chain;
        std::vector<std::wstring> levels;
        if (options_.tree) levels = TreeLevels(file.GetPath(), source_.GetVolumeText());
        const std::wstring name = SafeFileName(file.GetName());
        std::wstring wanted = out_.GetPath();
        for (const std::wstring& level : levels) wanted = JoinPath(wanted, level);
        wanted = JoinPath(wanted, name);
        RestoreChoices choices;
        choices.keepTimes = options_.keepTimes;
        RestoreOutcome outcome;
        std::vector<RestoredStream> streams;
        std::wstring note;
        if (OpenTree(out_, levels, chain)) {
            Folder& folder = chain.empty() ? out_ : *chain.back();
            if (options_.streams)
                choices.whileOpen = [&](WritableFile& made, const std::wstring& dest) {
                    streams = RestoreNamedStreams(source_, file.GetRecordNumber(), folder, made, dest, &InterruptFlag());
                };
            outcome = RestoreFileInto(source_, file.GetRecordNumber(), folder, name, &InterruptFlag(), choices);
            if (outcome.ok) note = RestoreNote(options_, source_, file.GetRecordNumber(), outcome);
        }
        if (outcome.ok) ++restored_;
        else if (!outcome.dest.empty()) ++partial_;
        PrintResult(file.GetRecordNumber(), outcome, wanted, note);
        for (const RestoredStream& stream : streams) {
            if (!stream.outcome.ok) streamsFailed_ = true;
            PrintResult(file.GetRecordNumber(), stream.outcome, stream.wanted, std::wstring());
        }
    }

    int Finish() {
        std::wstring summary = FormatWide(L"Total %d files restored. ", restored_);
        if (partial_) summary += FormatWide(L"%d partly restored. ", partial_);
        if (int failed = attempted_ - restored_ - partial_) summary += FormatWide(L"%d failed. ", failed);
        console_.Out(summary + L"\n");
        console_.Flush();
        if (Interrupted()) {
            console_.Err(L"quorret-cli: interrupted; the restore stopped.");
            return kExitInterrupted;
        }
        return restored_ == attempted_ && !streamsFailed_ ? kExitOk : kExitSomeFailed;
    }

    static bool Interrupted() { return InterruptFlag().load(); }

private:
    // One result line, printed and flushed at once: "record<TAB>dest<TAB>ok" with the note in a
    // field of its own after "ok", or "failed", with "N of M bytes" (or "interrupted at N of M
    // bytes") where a file stays part-written. `wanted` names a file that was never made.
    void PrintResult(uint64_t record, const RestoreOutcome& outcome, const std::wstring& wanted,
                     const std::wstring& note) {
        const std::wstring dest = NativePathText(outcome.dest.empty() ? wanted : outcome.dest);
        std::wstring line = FormatWide(L"%I64u\t%s\t", record, EscapeControls(dest));
        if (outcome.ok) {
            line += L"ok";
            if (!note.empty()) line += L"\t" + note;
        } else {
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", dest);
            ReportLoggedErrors(options_, console_, errors_, true);
            line += L"failed";
            // A file that failed part-way stays: a partial recovery can be worth having.
            if (!outcome.dest.empty())
                line += FormatWide(outcome.interrupted ? L"\tinterrupted at %I64u of %I64u bytes"
                                                       : L"\t%I64u of %I64u bytes",
                                   outcome.written, outcome.size);
        }
        console_.Out(line + L"\n");
        console_.Flush();
    }

    const CliOptions& options_;
    const VolumeSource& source_;
    Folder& out_;
    Console& console_;
    ErrorLogCapture& errors_;
    int attempted_ = 0;
    int restored_ = 0;
    int partial_ = 0;
    bool streamsFailed_ = false;
};

// The reason a record named on the command line is refused; empty for one worth trying.
std::wstring RefusalText(const NTFSVolume& volume, uint64_t number) {
    switch (CheckRestorableRecord(volume, number)) {
    case RecordFitness::SystemFile:
        return FormatWide(L"record %I64u cannot be restored: records below 16 hold the volume's own files", number);
    case RecordFitness::BeyondMft:
        return FormatWide(L"record %I64u is beyond the last MFT record (%I64u)", number, volume.GetRecordsCount() - 1);
    case RecordFitness::Directory: return FormatWide(L"record %I64u is a directory", number);
    case RecordFitness::InUse: return FormatWide(L"record %I64u is in use", number);
    case RecordFitness::Restorable:
    case RecordFitness::Unreadable: break;  // its restore says why it fails
    }
    return std::wstring();
}

}  // namespace

int RunRestore(const CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    VolumeSource source = MakeVolumeSource(options);
    std::vector<DeletedFileInfo> named;
    uint64_t records = 0;
    {
        std::unique_ptr<NTFSVolume> volume = OpenCheckedVolume(options, source, console, errors, &exitCode);
        if (!volume) return exitCode;
        records = volume->GetRecordsCount();
        // Every named record is checked before anything is made on disk.
        bool refused = false;
        for (uint64_t number : options.records) {
            std::wstring refusal = RefusalText(*volume, number);
            if (!refusal.empty()) console.Err(L"quorret-cli: " + refusal);
            refused = refused || !refusal.empty();
        }
        if (refused) return kExitUnusable;
        for (uint64_t number : options.records) named.push_back(DescribeNamedRecord(*volume, number, options.tree));
    }

    uint32_t error = 0;
    std::unique_ptr<Folder> out;
    if (CreateDirectoryTree(options.outDir, &error)) out = Folder::Open(options.outDir, &error);
    if (!out) {
        console.Err(FileErrorMessage(error, options.outDir));
        return kExitUnusable;
    }
    if (options.driveLetter && ParseDriveLetter(options.outDir.substr(0, 2)) == options.driveLetter)
        console.Err(L"Restoring onto the drive being read: restored files may overwrite deleted data not yet "
                    L"restored.");

    CatchInterrupts();
    FileRestorer restorer(options, source, *out, console, errors);
    if (options.all) {
        // Each file is restored as soon as the walk reports it, so memory does not grow with the
        // number of deleted files.
        ScanOutcome outcome = RunScanTask(
            source, options.filter.value_or(L""), records, console,
            [&restorer, &options](DeletedFileInfo& file) {
                if (options.originalNames) UseOriginalName(file);
                restorer.Restore(file);
            },
            &InterruptFlag(), options.recoverableOnly ? RecoverabilityMode::IntactOnly : RecoverabilityMode::Off,
            options.threads);
        if (outcome.state != kScanFinished && !FileRestorer::Interrupted())
            return ReportFailedScan(options, records, console, errors);
    }
    for (const DeletedFileInfo& file : named) restorer.Restore(file);
    return restorer.Finish();
}

}  // namespace Vorlaq

#include <algorithm>
#include <optional>
#include <vector>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Terminal.h"
#include "base/os/Files.h"
#include "base/os/Storage.h"
#include "cli/Commands.h"
#include "cli/DeepScanStep.h"
#include "cli/FieldText.h"
#include "cli/RestoreExtrasStep.h"
#include "cli/ScanRunner.h"
#include "cli/ShadowCopyStep.h"
#include "cli/VolumeCheck.h"
#include "scan/FileScanTask.h"
#include "scan/FileSystem.h"
#include "scan/FittedName.h"
#include "scan/OriginalPlace.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kSiblingTries = 1000;

// The file's rebuilt folders below DIR, each name made safe the way file names are (SafeFileName:
// no separators, no "." or "..") and fitted to the destination, so nothing a volume stores can
// lead outside DIR or be too long for it. A path the
// scan could not rebuild ("\Unknown") gives the folder "Unknown".
std::vector<std::wstring> TreeLevels(const std::wstring& path, const std::wstring& volumeText) {
    std::wstring rest = path.starts_with(volumeText) ? path.substr(volumeText.size()) : path;
    std::vector<std::wstring> levels;
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = rest.find(L'\\', begin);
        if (end == std::wstring::npos) end = rest.size();
        if (end > begin) levels.push_back(FittedName(SafeFileName(rest.substr(begin, end - begin)), {}, false));
        begin = end + 1;
    }
    return levels;
}

// A file from an emptied Recycle Bin takes the name and folder it had before (D:\Work\a.docx:
// "a.docx" in "\Work\", the drive dropped); TreeLevels and SafeFileName then treat them like any
// stored name, so nothing an index file says can lead outside --out.
void UseOriginalName(DeletedFileInfo& file) {
    const std::optional<OriginalPlace> place = GetOriginalPlace(file);
    if (!place || place->folder.size() < 3) return;
    file.SetName(place->name);
    file.SetPath(place->folder.substr(2));
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
            name = FittedName(level, FormatWide(L"_%I64u", k), false);
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

// What follows "failed" on a result line: how much of a file kept part-written stays, and why.
std::wstring FailureNote(const RestoreOutcome& outcome) {
    switch (outcome.change) {
    case RecordChange::InUse: return L"\trecord now in use";
    case RecordChange::Reused: return L"\trecord reused by another file";
    case RecordChange::Unreadable: return L"\trecord unreadable";
    case RecordChange::None: break;
    }
    // A file that failed part-way stays: a partial recovery can be worth having.
    if (outcome.dest.empty()) return std::wstring();
    if (outcome.damagedBytes) return FormatWide(L"\t%I64u bytes from damaged chunks", outcome.damagedBytes);
    if (outcome.interrupted) return FormatWide(L"\tinterrupted at %I64u of %I64u bytes", outcome.written, outcome.size);
    return FormatWide(outcome.sourceEnded ? L"\t%I64u of %I64u bytes (source ends early)" : L"\t%I64u of %I64u bytes",
                      outcome.written, outcome.size);
}

// Restores one file into --out (under its rebuilt folders with --tree) and prints its result line
// at once, so what is on disk and what the output says never part.
class FileRestorer {
public:
    FileRestorer(const CliOptions& options, const VolumeSource& source, Folder& out, Console& console,
                 ErrorLogCapture& errors)
        : options_(options), source_(source), out_(out), console_(console), errors_(errors) {}

    // `copy`: the shadow copy, or the old file system a deep scan found, the file is restored
    // from instead of the volume; a file in use there is restored as it is.
    void Restore(const DeletedFileInfo& file, const VolumeSource* copy = nullptr) {
        // After an interrupt, or once no one reads the result lines, no new file is begun.
        if (Interrupted() || console_.OutputLost()) {
            ++notAttempted_;
            return;
        }
        const VolumeSource& source = copy ? *copy : source_;
        const std::wstring id = file.GetShadowCopy() ? ShadowFileId(file) : file.GetRecordNumberText();
        ++attempted_;
        errors_.TakeOwn();
        std::vector<std::unique_ptr<Folder>> chain;
        std::vector<std::wstring> levels;
        if (options_.tree) levels = TreeLevels(file.GetPath(), source.GetVolumeText());
        const std::wstring name = SafeFileName(file.GetName());
        std::wstring wanted = out_.GetPath();
        for (const std::wstring& level : levels) wanted = JoinPath(wanted, level);
        wanted = JoinPath(wanted, FittedName(name));
        RestoreChoices choices;
        choices.keepTimes = options_.keepTimes;
        choices.sequence = file.GetSequence();
        choices.inUseToo = copy != nullptr;
        RestoreOutcome outcome;
        std::vector<RestoredStream> streams;
        std::wstring note;
        if (OpenTree(out_, levels, chain)) {
            Folder& folder = chain.empty() ? out_ : *chain.back();
            if (options_.streams)
                choices.whileOpen = [&](WritableFile& made, const std::wstring& dest) {
                    streams = RestoreNamedStreams(source, file.GetRecordNumber(), folder, made, dest, choices,
                                                  &InterruptFlag());
                };
            outcome = RestoreFileInto(source, file.GetRecordNumber(), folder, name, &InterruptFlag(), choices);
            if (outcome.ok) note = RestoreNote(options_, source, file.GetRecordNumber(), outcome);
            // A file that failed before its first byte goes, and the line says "failed" alone.
            RemoveEmptyFailure(outcome);
        }
        if (outcome.ok) ++restored_;
        else if (!outcome.dest.empty()) ++partial_;
        PrintResult(id, outcome, wanted, note);
        for (const RestoredStream& stream : streams) {
            if (!stream.outcome.ok) ++streamsFailed_;
            PrintResult(id, stream.outcome, stream.wanted, std::wstring());
        }
    }

    // A file that is not tried: its result line says "failed" and why.
    void Refuse(const DeletedFileInfo& file, const std::wstring& reason) {
        if (Interrupted() || console_.OutputLost()) {
            ++notAttempted_;
            return;
        }
        ++attempted_;
        std::wstring wanted = out_.GetPath();
        if (options_.tree)
            for (const std::wstring& level : TreeLevels(file.GetPath(), source_.GetVolumeText()))
                wanted = JoinPath(wanted, level);
        RestoreOutcome outcome;
        PrintResult(file.GetRecordNumberText(), outcome, JoinPath(wanted, FittedName(SafeFileName(file.GetName()))),
                    std::wstring(), L"\t" + reason);
    }

    int Finish() {
        std::wstring summary = FormatWide(L"Total %d files restored. ", restored_);
        if (partial_) summary += FormatWide(L"%d partly restored. ", partial_);
        if (int failed = attempted_ - restored_ - partial_) summary += FormatWide(L"%d failed. ", failed);
        if (notAttempted_) summary += FormatWide(L"%d not attempted. ", notAttempted_);
        if (streamsFailed_)
            summary += FormatWide(streamsFailed_ == 1 ? L"%d named stream failed. " : L"%d named streams failed. ",
                                  streamsFailed_);
        console_.Out(summary + L"\n");
        console_.Flush();
        if (console_.OutputLost()) console_.Err(summary);
        if (Interrupted()) {
            console_.Err(L"quorret-cli: interrupted; the restore stopped.");
            return kExitInterrupted;
        }
        return restored_ == attempted_ && streamsFailed_ == 0 ? kExitOk : kExitSomeFailed;
    }

    static bool Interrupted() { return InterruptFlag().load(); }

private:
    // One result line, printed and flushed at once: "record<TAB>dest<TAB>ok" with the note in a
    // field of its own after "ok", or "failed", with "N of M bytes" (or "interrupted at N of M
    // bytes") where a file stays part-written. `wanted` names a file that was never made.
    void PrintResult(const std::wstring& id, const RestoreOutcome& outcome, const std::wstring& wanted,
                     const std::wstring& note, const std::wstring& failure = std::wstring()) {
        const std::wstring dest = NativePathText(outcome.dest.empty() ? wanted : outcome.dest);
        std::wstring line = FormatWide(L"%s\t%s\t", id, EscapeControls(dest));
        if (outcome.ok) {
            line += L"ok";
            if (!note.empty()) line += L"\t" + note;
        } else {
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", dest);
            ReportLoggedErrors(options_, console_, errors_, true);
            line += L"failed" + (failure.empty() ? FailureNote(outcome) : failure);
        }
        console_.Out(line + L"\n");
        console_.Flush();
        // The line that could not be written is the one file whose result no one saw: it goes
        // to standard error instead, once.
        if (console_.OutputLost() && !lostLineShown_) {
            lostLineShown_ = true;
            console_.Err(line);
        }
    }

    const CliOptions& options_;
    const VolumeSource& source_;
    Folder& out_;
    Console& console_;
    ErrorLogCapture& errors_;
    int attempted_ = 0;
    int restored_ = 0;
    int partial_ = 0;
    int notAttempted_ = 0;
    int streamsFailed_ = 0;
    bool lostLineShown_ = false;
};

// The reason a record named on the command line is refused; empty for one worth trying.
std::wstring RefusalText(const VolumeSession& session, uint64_t number) {
    switch (session.CheckRecord(number)) {
    case RecordFitness::SystemFile:
        return FormatWide(L"record %I64u cannot be restored: records below 16 hold the volume's own files", number);
    case RecordFitness::BeyondMft:
        return FormatWide(L"record %I64u is beyond the last MFT record (%I64u)", number, session.GetRecordsCount() - 1);
    case RecordFitness::Directory: return FormatWide(L"record %I64u is a directory", number);
    case RecordFitness::InUse: return FormatWide(L"record %I64u is in use", number);
    case RecordFitness::Restorable:
    case RecordFitness::Unreadable: break;  // its restore says why it fails
    }
    return std::wstring();
}

// True, after saying so, when --out lies on the volume being read: a file made there could take
// the clusters or the record of a deleted file still to be restored.
bool RefuseRestoreOntoSource(const CliOptions& options, Console& console) {
    const bool sameDrive = options.driveLetter && ParseDriveLetter(options.outDir.substr(0, 2)) == options.driveLetter;
    if (!sameDrive && (options.driveLetter || !LiesOnSource(options.outDir, options.source))) return false;
    console.Err(FormatWide(L"quorret-cli: %s lies on %s, the volume being read: restored files could overwrite the "
                           L"deleted files still to be restored. Choose a folder on another volume.",
                           EscapeControls(NativePathText(options.outDir)), EscapeControls(options.source)));
    return true;
}

}  // namespace

int RunRestore(CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    if (!ShadowCopiesUsable(options, console)) return exitCode;
    std::unique_ptr<VolumeSession> session = OpenSession(options, console, errors, &exitCode);
    if (!session) return exitCode;
    // Every named record is checked before anything is made on disk.
    bool refused = false;
    for (uint64_t number : options.records) {
        std::wstring refusal = RefusalText(*session, number);
        if (!refusal.empty()) console.Err(L"quorret-cli: " + refusal);
        refused = refused || !refusal.empty();
    }
    if (refused) return kExitUnusable;
    std::vector<DeletedFileInfo> named;
    for (uint64_t number : options.records) named.push_back(session->DescribeRecord(number, options.tree));
    const VolumeSource& source = session->GetSource();
    ShadowCopyFiles shadow;
    std::vector<const DeletedFileInfo*> namedInCopies;
    // A shadow copy's file is named as the scan lists it: one that only the copy holds.
    if (!options.shadowRecords.empty()) {
        FileFilter everything;
        everything.SetFilters(L"");
        shadow = FindShadowFiles(options, source, everything, console, errors);
        for (const ShadowRecordId& id : options.shadowRecords) {
            auto listed = std::find_if(shadow.files.begin(), shadow.files.end(), [&id](const DeletedFileInfo& file) {
                return file.GetShadowCopy() == id.copy && file.GetRecordNumber() == id.record;
            });
            if (listed != shadow.files.end()) {
                namedInCopies.push_back(&*listed);
                continue;
            }
            console.Err(FormatWide(L"quorret-cli: %u:%I64u is not a file that only a shadow copy holds (scan "
                                   L"--shadow-copies lists them)",
                                   id.copy, id.record));
            refused = true;
        }
    }
    if (refused || RefuseRestoreOntoSource(options, console)) return kExitUnusable;
    // The deep scan's files named by position, found before anything is made on disk.
    std::unique_ptr<DeepScan> deep;
    std::vector<DeletedFileInfo> namedOld;
    if (options.deep) {
        deep = std::make_unique<DeepScan>(source, options.recoverableOnly ? RecoverabilityMode::IntactOnly
                                                                          : RecoverabilityMode::Off);
        deep->SetThreads(options.threads);
        CatchInterrupts();
    }
    if (!options.oldRecords.empty()) {
        FileFilter everything;
        everything.SetFilters(L"");
        DeepScanRun run = RunDeepScanTask(
            *deep, everything, console,
            [&](DeletedFileInfo& file) {
                if (file.IsFromOldMft() && std::find(options.oldRecords.begin(), options.oldRecords.end(),
                                                     file.GetOldPosition()) != options.oldRecords.end())
                    namedOld.push_back(std::move(file));
            },
            &InterruptFlag());
        if (run.stopped) {
            console.Err(L"quorret-cli: interrupted; the restore stopped.");
            return kExitInterrupted;
        }
        for (uint64_t position : options.oldRecords)
            if (std::none_of(namedOld.begin(), namedOld.end(),
                             [&](const DeletedFileInfo& file) { return file.GetOldPosition() == position; })) {
                console.Err(FormatWide(L"quorret-cli: @%I64u is not a file the deep scan lists (scan --deep lists them)",
                                       position));
                refused = true;
            }
        if (refused) return kExitUnusable;
    }

    uint32_t error = 0;
    RefusedFolderLink refusedLink;
    std::unique_ptr<Folder> out = Folder::MakeAndOpen(options.outDir, &error, &refusedLink);
    if (!out) {
        if (!refusedLink.link.empty())
            console.Err(L"quorret-cli: --out is not followed through " + NativePathText(refusedLink.link) +
                        L": a link owned by " + refusedLink.owner +
                        L" in a sticky folder anyone may write to, owned by neither you nor that user.");
        else
            console.Err(FileErrorMessage(error, options.outDir));
        return kExitUnusable;
    }

    CatchInterrupts();
    FileRestorer restorer(options, source, *out, console, errors);
    // A file of an old file system is restored from it; one of the live MFT as restore does.
    auto restoreFound = [&restorer, &deep](const DeletedFileInfo& file) {
        if (!file.IsFromOldMft()) return restorer.Restore(file);
        std::wstring refusal;
        if (const std::optional<VolumeSource> old = deep->SourceOf(file, &refusal)) restorer.Restore(file, &*old);
        else restorer.Refuse(file, refusal);
    };
    for (const DeletedFileInfo& file : namedOld) restoreFound(file);
    if (options.all && options.deep) {
        // The files come once the whole source is read (their folders may lie anywhere on it),
        // each restored as it comes.
        FileFilter filter;
        filter.SetFilters(options.filter.value_or(L""));
        RunDeepScanTask(*deep, filter, console, restoreFound, &InterruptFlag());
    }
    if (options.all && !options.deep) {
        // Each file is restored as soon as the walk reports it, so memory does not grow with the
        // number of deleted files.
        ScanOutcome outcome = RunScanTask(
            source, options.filter.value_or(L""), session->GetUserRecordsCount(), console,
            [&restorer, &options](DeletedFileInfo& file) {
                if (options.originalNames) UseOriginalName(file);
                restorer.Restore(file);
            },
            &InterruptFlag(), options.recoverableOnly ? RecoverabilityMode::IntactOnly : RecoverabilityMode::Off,
            false, options.threads);
        if (outcome.state != kScanFinished && !FileRestorer::Interrupted())
            return ReportFailedScan(options, *session, console, errors);
        if (options.shadowCopies && !FileRestorer::Interrupted()) {
            FileFilter filter;
            filter.SetFilters(options.filter.value_or(L""));
            shadow = FindShadowFiles(options, source, filter, console, errors, &InterruptFlag());
            for (const DeletedFileInfo& file : shadow.files) namedInCopies.push_back(&file);
        }
    }
    for (const DeletedFileInfo& file : named) restorer.Restore(file);
    for (const DeletedFileInfo* file : namedInCopies) {
        VolumeSource copy = shadow.copies->SourceOf(file->GetShadowCopy(), source.GetVolumeText());
        restorer.Restore(*file, &copy);
    }
    return restorer.Finish();
}

}  // namespace Vorlaq

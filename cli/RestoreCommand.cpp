#include <vector>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/RestoreExtrasStep.h"
#include "cli/ScanRunner.h"
#include "cli/VolumeCheck.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FilePathBuilder.h"
#include "scan/FileScanTask.h"
#include "scan/FileSystem.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kNameMask = 4;
constexpr uint32_t kNameCapacity = 260;

// A record named on the command line: its name and, for --tree, its folder, read the way the
// scan reads them. A record without a name is restored as "record-N".
DeletedFileInfo DescribeRecord(const NTFSVolume& volume, uint64_t number, bool withPath) {
    std::wstring name;
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNameMask);
    wchar_t buffer[kNameCapacity + 1];
    if (record.ReadFileRecord(number) && record.ParseAttrs()) {
        int length = record.GetFileName(buffer, kNameCapacity);
        if (length > 0) name.assign(buffer, static_cast<size_t>(length));
    }
    if (name.empty()) name = FormatWide(L"record-%I64u", number);
    std::wstring path = withPath ? BuildFilePath(volume, number) : volume.GetVolumePath();
    return DeletedFileInfo(volume.GetVolumePath(), number, name, path, 0, nullptr, nullptr, nullptr);
}

// DIR plus the file's rebuilt folders, each folder name made safe the way file names are
// (SafeFileName: no separators, no "." or ".."), so nothing a volume stores can lead outside DIR.
// A path the scan could not rebuild ("\Unknown") gives the folder "Unknown".
std::wstring TreeFolder(const std::wstring& outDir, const std::wstring& path, const std::wstring& volumeText) {
    std::wstring rest = path.starts_with(volumeText) ? path.substr(volumeText.size()) : path;
    std::wstring folder = outDir;
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = rest.find(L'\\', begin);
        if (end == std::wstring::npos) end = rest.size();
        if (end > begin) folder = JoinPath(folder, SafeFileName(rest.substr(begin, end - begin)));
        begin = end + 1;
    }
    return folder;
}

// Restores one file into --out (under its rebuilt folders with --tree) and prints its result line.
class FileRestorer {
public:
    FileRestorer(const CliOptions& options, const VolumeSource& source, Console& console, ErrorLogCapture& errors)
        : options_(options), source_(source), console_(console), errors_(errors) {}

    void Restore(const DeletedFileInfo& file) {
        ++attempted_;
        errors_.TakeOwn();
        uint32_t error = 0;
        std::wstring folder =
            options_.tree ? TreeFolder(options_.outDir, file.GetPath(), source_.GetVolumeText()) : options_.outDir;
        std::wstring wanted = JoinPath(folder, SafeFileName(file.GetName()));
        std::wstring dest;
        if (!options_.tree || CreateDirectoryTree(folder, &error)) dest = MakeUniqueFileName(wanted);
        else LogFileError(error, folder);
        bool ok = !dest.empty() && RestoreFile(source_, file.GetRecordNumber(), dest);
        RestoreExtrasResult extras;
        if (ok) extras = RestoreExtrasOf(options_, source_, file.GetRecordNumber(), dest);
        if (ok) {
            ++restored_;
        } else {
            if (dest.empty()) dest = wanted;
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", NativePathText(dest));
            ReportLoggedErrors(options_, console_, errors_, true);
        }
        console_.Out(FormatWide(L"%I64u\t%s\t%s%s%s\n", file.GetRecordNumber(), EscapeControls(NativePathText(dest)),
                                ok ? L"ok" : L"failed", extras.note.empty() ? L"" : L"\t", extras.note));
        for (const RestoredStream& stream : extras.streams) {
            if (!stream.ok) streamsFailed_ = true;
            console_.Out(FormatWide(L"%I64u\t%s\t%s\n", file.GetRecordNumber(),
                                    EscapeControls(NativePathText(stream.dest)), stream.ok ? L"ok" : L"failed"));
        }
    }

    int Finish() {
        console_.Out(FormatWide(L"Total %d files restored. \n", restored_));
        console_.Flush();
        return restored_ == attempted_ && !streamsFailed_ ? kExitOk : kExitSomeFailed;
    }

private:
    const CliOptions& options_;
    const VolumeSource& source_;
    Console& console_;
    ErrorLogCapture& errors_;
    int attempted_ = 0;
    int restored_ = 0;
    bool streamsFailed_ = false;
};

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
        for (uint64_t number : options.records) named.push_back(DescribeRecord(*volume, number, options.tree));
    }

    uint32_t error = 0;
    if (!CreateDirectoryTree(options.outDir, &error)) {
        console.Err(FormatWide(FileErrorText(error), options.outDir));
        return kExitUnusable;
    }
    if (options.driveLetter && ParseDriveLetter(options.outDir.substr(0, 2)) == options.driveLetter)
        console.Err(L"Restoring onto the drive being read: restored files may overwrite deleted data not yet "
                    L"restored.");

    FileRestorer restorer(options, source, console, errors);
    if (options.all) {
        // Each file is restored as soon as the walk reports it, so memory does not grow with the
        // number of deleted files.
        ScanOutcome outcome = RunScanTask(source, options.filter.value_or(L""), records, console,
                                          [&restorer](std::unique_ptr<DeletedFileInfo> file) { restorer.Restore(*file); },
                                          options.recoverableOnly ? RecoverabilityMode::IntactOnly
                                                                  : RecoverabilityMode::Off);
        if (outcome.state != kScanFinished) return ReportFailedScan(options, records, console, errors);
    }
    for (const DeletedFileInfo& file : named) restorer.Restore(file);
    return restorer.Finish();
}

}  // namespace Vorlaq

#include <vector>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
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

// DIR plus the file's rebuilt folders. Each folder name is cleaned like a file name, and "." and
// ".." become "_", so nothing a volume stores can lead outside DIR. A path the scan could not
// rebuild ("\Unknown") gives the folder "Unknown".
std::wstring TreeFolder(const std::wstring& outDir, const std::wstring& path, const std::wstring& volumeText) {
    std::wstring rest = path.starts_with(volumeText) ? path.substr(volumeText.size()) : path;
    std::wstring folder = outDir;
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = rest.find(L'\\', begin);
        if (end == std::wstring::npos) end = rest.size();
        std::wstring part = ReplaceInvalidChars(rest.substr(begin, end - begin), L"_");
        if (part == L"." || part == L"..") part = L"_";
        if (!part.empty()) folder = JoinPath(folder, part);
        begin = end + 1;
    }
    return folder;
}

}  // namespace

int RunRestore(const CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    VolumeSource source = MakeVolumeSource(options);
    const std::wstring& volumeText = source.GetVolumeText();
    std::vector<DeletedFileInfo> files;
    uint64_t records = 0;
    {
        std::unique_ptr<NTFSVolume> volume = OpenCheckedVolume(options, source, console, errors, &exitCode);
        if (!volume) return exitCode;
        records = volume->GetRecordsCount();
        for (uint64_t number : options.records) files.push_back(DescribeRecord(*volume, number, options.tree));
    }

    uint32_t error = 0;
    if (!CreateDirectoryTree(options.outDir, &error)) {
        console.Err(FormatWide(FileErrorText(error), options.outDir));
        return kExitUnusable;
    }

    if (options.all) {
        ScanOutcome outcome =
            RunScanTask(source, options.filter.value_or(L""), records, console,
                        [&files](std::unique_ptr<DeletedFileInfo> file) { files.push_back(std::move(*file)); });
        if (outcome.state != kScanFinished) return ReportFailedScan(options, records, console, errors);
    }

    int restored = 0;
    for (const DeletedFileInfo& file : files) {
        errors.Take();
        std::wstring folder = options.tree ? TreeFolder(options.outDir, file.GetPath(), volumeText) : options.outDir;
        std::wstring wanted = JoinPath(folder, file.GetName());
        std::wstring dest;
        if (!options.tree || CreateDirectoryTree(folder, &error)) dest = MakeUniqueFileName(wanted);
        else LogFileError(error, folder);
        bool ok = !dest.empty() && RestoreFile(source, file.GetRecordNumber(), dest);
        if (ok) {
            ++restored;
        } else {
            if (dest.empty()) dest = wanted;
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", NativePathText(dest));
            ReportLoggedErrors(options, console, errors);
        }
        console.Out(FormatWide(L"%I64u\t%s\t%s\n", file.GetRecordNumber(), EscapeControls(NativePathText(dest)),
                               ok ? L"ok" : L"failed"));
    }
    console.Out(FormatWide(L"Total %d files restored. \n", restored));
    console.Flush();
    return restored == static_cast<int>(files.size()) ? kExitOk : kExitSomeFailed;
}

}  // namespace Vorlaq

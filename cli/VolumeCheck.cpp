#include "cli/VolumeCheck.h"

#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/PartitionTable.h"
#include "cli/SourceExtent.h"
#include "scan/FileSystem.h"

namespace Vorlaq {

namespace {
constexpr uint16_t kOldestVersion = 0x300;
constexpr uint64_t kFirstUserRecord = 16;
}  // namespace

VolumeSource MakeVolumeSource(const CliOptions& options) {
    if (options.driveLetter) return VolumeSource::FromText(std::wstring(1, options.driveLetter) + L":\\");
    return VolumeSource::FromImage(options.source, options.offset.value_or(0));
}

void ReportLoggedErrors(const CliOptions& options, Console& console, ErrorLogCapture& errors, bool ownOnly) {
    std::vector<std::wstring> lines = ownOnly ? errors.TakeOwn() : errors.Take();
    if (options.verbose) return;
    for (const std::wstring& line : lines) console.Err(EscapeControls(line));
}

std::unique_ptr<NTFSVolume> OpenCheckedVolume(const CliOptions& options, const VolumeSource& source,
                                              Console& console, ErrorLogCapture& errors, int* exitCode) {
    *exitCode = kExitUnusable;
    errors.Take();
    if (!options.driveLetter && IsDirectoryPath(options.source)) {
        console.Err(EscapeControls(options.source) + L" is a directory: give an NTFS image file or a block device.");
        return nullptr;
    }
    // A whole-disk image starts with a partition table; say which offsets open its volumes.
    if (!options.driveLetter && !options.offset) {
        uint32_t error = 0;
        std::unique_ptr<Device> device = OpenPathDevice(options.source, 0, &error);
        if (!device) {
            console.Err(EscapeControls(FileErrorMessage(error, options.source)));
            return nullptr;
        }
        PartitionTable table = ReadPartitionTable(*device);
        if (table.scheme != PartitionScheme::None) {
            std::wstring command = options.command == CliCommand::Info      ? L"info"
                                   : options.command == CliCommand::Restore ? L"restore"
                                                                            : L"scan";
            std::wstring text = DescribePartitionTable(table, options.source, command);
            if (options.command == CliCommand::Info) {
                console.Out(text);
                console.Flush();
                *exitCode = kExitOk;
            } else {
                text.pop_back();  // Err adds the line end
                console.Err(text);
            }
            return nullptr;
        }
    }

    std::unique_ptr<NTFSVolume> volume = source.Open();
    if (volume->IsVolumeOK()) return volume;
    ReportLoggedErrors(options, console, errors);
    // A boot sector that was read but a source that stops before the MFT: that is the reason.
    if (SourceExtent extent = MeasureSource(options, *volume); extent.IsShort())
        console.Err(ShortSourceText(options, extent));
    uint16_t version = volume->GetVersion();
    if (version != 0 && version < kOldestVersion)
        console.Err(FormatWide(L"NTFS version %u.%u: this program reads NTFS 3.0 and later.", version >> 8,
                               version & 0xFF));
    std::wstring where = options.offset
                             ? FormatWide(L"%s at offset %I64u", EscapeControls(options.source), *options.offset)
                             : EscapeControls(options.source);
    console.Err(FormatWide(L"%s is not a valid NTFS volume or the NTFS version < 3.0.", where));
    return nullptr;
}

int ReportFailedScan(const CliOptions& options, uint64_t records, Console& console, ErrorLogCapture& errors) {
    ReportLoggedErrors(options, console, errors);
    if (records == kFirstUserRecord)
        console.Err(L"The MFT holds only the 16 system records: there is nothing to scan.");
    else
        console.Err(FormatWide(L"%s could not be scanned.", EscapeControls(options.source)));
    return kExitUnusable;
}

}  // namespace Vorlaq

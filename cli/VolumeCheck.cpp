#include "cli/VolumeCheck.h"

#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/PartitionTable.h"
#include "cli/SourceExtent.h"
#include "scan/FileSystem.h"

namespace Vorlaq {

VolumeSource MakeVolumeSource(const CliOptions& options) {
    if (options.driveLetter) return VolumeSource::FromText(std::wstring(1, options.driveLetter) + L":\\");
    return VolumeSource::FromImage(options.source, options.offset.value_or(0), L"\\", options.partitionSize);
}

void ReportLoggedErrors(const CliOptions& options, Console& console, ErrorLogCapture& errors, bool ownOnly) {
    std::vector<std::wstring> lines = ownOnly ? errors.TakeOwn() : errors.Take();
    if (options.verbose) return;
    for (const std::wstring& line : lines) console.Err(EscapeControls(line));
}

namespace {

// SOURCE from its first byte, for a look at its partition table; null after saying why.
std::unique_ptr<Device> OpenWholeSource(const CliOptions& options, Console& console, ErrorLogCapture& errors) {
    uint32_t error = 0;
    std::unique_ptr<Device> device = OpenPathDevice(options.source, 0, &error);
    if (!device) {
        ReportLoggedErrors(options, console, errors);  // a container says what is wrong with it
        console.Err(EscapeControls(FileErrorMessage(error, options.source)));
    }
    return device;
}

}  // namespace

bool ResolvePartition(CliOptions& options, Console& console, ErrorLogCapture& errors) {
    if (options.driveLetter || (!options.partition && !options.offset)) return true;
    errors.Take();
    std::unique_ptr<Device> device = OpenWholeSource(options, console, errors);
    if (!device) return false;
    PartitionTable table = ReadPartitionTable(*device);
    // A volume at an offset where the table starts a partition ends where the partition does:
    // that is where its backup boot sector lies.
    for (const PartitionEntry& entry : table.partitions) {
        bool chosen = options.partition ? entry.number == *options.partition : entry.offset == *options.offset;
        if (!chosen) continue;
        options.offset = entry.offset;
        if (entry.size != 0) options.partitionSize = entry.size;
        return true;
    }
    if (!options.partition) return true;
    if (table.scheme == PartitionScheme::None) {
        console.Err(FormatWide(L"%s starts with no partition table: --partition applies to a whole-disk image.",
                               EscapeControls(options.source)));
        return false;
    }
    std::wstring text = DescribePartitionTable(table, options.source, L"info");
    text.pop_back();
    console.Err(FormatWide(L"%s has no partition %u.\n%s", EscapeControls(options.source), *options.partition, text));
    return false;
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
        std::unique_ptr<Device> device = OpenWholeSource(options, console, errors);
        if (!device) return nullptr;
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
    if (volume->IsVolumeOK()) {
        // Read through a copy of damaged metadata: said once (the log says it at every open).
        if (!options.verbose && volume->GetBootSectorOffset() != 0)
            console.Err(FormatWide(kBackupBootSectorWarning, volume->GetBootSectorOffset()));
        if (!options.verbose && volume->UsesMFTMirror()) console.Err(kMFTMirrorWarning);
        return volume;
    }
    ReportLoggedErrors(options, console, errors);
    // A boot sector that was read but a source that stops before the MFT: that is the reason.
    if (SourceExtent extent = MeasureSource(options, *volume); extent.IsShort())
        console.Err(ShortSourceText(options, extent));
    uint16_t version = volume->GetVersion();
    if (version != 0 && version < kNTFSLowestVersion)
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
    if (records == kNTFSFirstUserRecord)
        console.Err(L"The MFT holds only the 16 system records: there is nothing to scan.");
    else
        console.Err(FormatWide(L"%s could not be scanned.", EscapeControls(options.source)));
    return kExitUnusable;
}

}  // namespace Vorlaq

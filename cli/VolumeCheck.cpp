#include "cli/VolumeCheck.h"

#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/PartitionText.h"
#include "scan/FileSystem.h"
#include "scan/SourceProbe.h"

namespace Vorlaq {

void ReportLoggedErrors(const CliOptions& options, Console& console, ErrorLogCapture& errors, bool ownOnly) {
    std::vector<std::wstring> lines = ownOnly ? errors.TakeOwn() : errors.Take();
    if (options.verbose) return;
    for (const std::wstring& line : lines) console.Err(EscapeControls(line));
}

std::wstring DamagedChunksText(uint64_t chunks) {
    return FormatWide(chunks == 1 ? L" The source holds %I64u damaged chunk (its checksum failed)."
                                  : L" The source holds %I64u damaged chunks (their checksums failed).",
                      chunks);
}

std::wstring ShortSourceText(const CliOptions& options, const SourceExtent& extent) {
    return FormatWide(L"%s ends after %I64u of the volume's %I64u bytes: what lies beyond cannot be read.",
                      EscapeControls(options.source), extent.heldBytes, extent.volumeBytes);
}

namespace {

const wchar_t* CommandName(CliCommand command) {
    return command == CliCommand::Info ? L"info" : command == CliCommand::Restore ? L"restore" : L"scan";
}

// --partition N becomes the offset of partition N in the table, and a volume at an offset where
// the table starts a partition ends where the partition does: that is where its backup boot
// sector lies. False after saying on standard error why there is no such partition.
bool ResolvePartition(CliOptions& options, const PartitionTable& table, Console& console) {
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

// The volume SOURCE names: a drive letter's, or the one in the image at --offset or --partition.
// An image that is a whole disk, with neither option, lists its partitions instead. An empty
// source after saying why.
VolumeSource ChooseVolume(CliOptions& options, Console& console, ErrorLogCapture& errors, int* exitCode) {
    if (options.driveLetter) return VolumeSource::FromText(std::wstring(1, options.driveLetter) + L":\\");
    if (IsDirectoryPath(options.source)) {
        console.Err(EscapeControls(options.source) + L" is a directory: give an NTFS image file or a block device.");
        return VolumeSource();
    }
    SourceProbe probe(options.source);
    if (!probe.IsOpen()) {
        ReportLoggedErrors(options, console, errors);  // a container says what is wrong with it
        console.Err(EscapeControls(FileErrorMessage(probe.GetError(), options.source)));
        return VolumeSource();
    }
    const PartitionTable& table = probe.GetTable();
    if (options.partition || options.offset) {
        if (!ResolvePartition(options, table, console)) return VolumeSource();
    } else if (table.scheme != PartitionScheme::None) {
        std::wstring text = DescribePartitionTable(table, options.source, CommandName(options.command));
        if (options.command == CliCommand::Info) {
            console.Out(text);
            console.Flush();
            *exitCode = kExitOk;
        } else {
            text.pop_back();  // Err adds the line end
            console.Err(text);
        }
        return VolumeSource();
    }
    return probe.VolumeAt(options.offset.value_or(0), options.partitionSize);
}

}  // namespace

std::unique_ptr<VolumeSession> OpenSession(CliOptions& options, Console& console, ErrorLogCapture& errors,
                                           int* exitCode) {
    *exitCode = kExitUnusable;
    errors.Take();
    VolumeSource source = ChooseVolume(options, console, errors, exitCode);
    if (source.IsEmpty()) return nullptr;
    auto session = std::make_unique<VolumeSession>(std::move(source));
    if (session->IsVolumeOK()) {
        // Read through a copy of damaged metadata: said once (the log says it at every open).
        if (!options.verbose)
            for (const std::wstring& warning : session->CopyWarnings()) console.Err(warning);
        return session;
    }
    // The deep scan looks for the records of earlier file systems, with or without a live one.
    if (options.deep) {
        console.Err(FormatWide(L"%s holds no readable NTFS file system: the deep scan reads it for the records of an earlier one.",
                               EscapeControls(options.source)));
        return session;
    }
    ReportLoggedErrors(options, console, errors);
    // A boot sector that was read but a source that stops before the MFT: that is the reason.
    if (const SourceExtent& extent = session->GetExtent(); extent.IsShort())
        console.Err(ShortSourceText(options, extent));
    const uint16_t version = session->GetVersion();
    if (session->IsVersionTooOld())
        console.Err(FormatWide(L"NTFS version %u.%u: this program reads NTFS 3.0 and later.", version >> 8,
                               version & 0xFF));
    std::wstring where = options.offset
                             ? FormatWide(L"%s at offset %I64u", EscapeControls(options.source), *options.offset)
                             : EscapeControls(options.source);
    console.Err(FormatWide(L"%s is not a valid NTFS volume or the NTFS version < 3.0.", where));
    return nullptr;
}

int ReportFailedScan(const CliOptions& options, const VolumeSession& session, Console& console,
                     ErrorLogCapture& errors) {
    ReportLoggedErrors(options, console, errors);
    if (session.HoldsOnlySystemRecords())
        console.Err(L"The MFT holds only the 16 system records: there is nothing to scan.");
    else
        console.Err(FormatWide(L"%s could not be scanned.", EscapeControls(options.source)));
    return kExitUnusable;
}

}  // namespace Vorlaq

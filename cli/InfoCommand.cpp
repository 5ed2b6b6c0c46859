#include <vector>

#include "base/ByteReader.h"
#include "base/WideFormat.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/SourceExtent.h"
#include "cli/VolumeCheck.h"
#include "ntfs/NTFSAttributeVolumeName.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/DisplayText.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kVolumeRecord = 3;
constexpr uint32_t kVolumeMask = 0x60;  // $VOLUME_NAME and $VOLUME_INFORMATION
constexpr uint64_t kTotalSectorsAt = 0x28;
constexpr uint64_t kSerialAt = 0x48;

// The label from $Volume's $VOLUME_NAME; empty when it has none or cannot be read.
std::wstring ReadLabel(const NTFSVolume& volume) {
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kVolumeMask);
    if (!record.ReadFileRecord(kVolumeRecord) || !record.ParseAttrs()) return std::wstring();
    auto* name = dynamic_cast<NTFSAttributeVolumeName*>(record.FindFirstAttr(kNTFSAttrVolumeName));
    return name ? name->GetVolumeName() : std::wstring();
}

}  // namespace

int RunInfo(const CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    VolumeSource source = MakeVolumeSource(options);
    std::unique_ptr<NTFSVolume> volume = OpenCheckedVolume(options, source, console, errors, &exitCode);
    if (!volume) return exitCode;

    // Size and serial number are boot-sector fields the reader has no use for.
    std::vector<uint8_t> boot(512);
    uint32_t got = 0;
    Device* device = volume->GetDevice();
    if (!device ||
        !device->ReadAt(volume->GetBootSectorOffset(), boot.data(), static_cast<uint32_t>(boot.size()), &got))
        got = 0;
    ByteReader bootReader(boot.data(), got);
    uint64_t sectors = bootReader.U64(kTotalSectorsAt).value_or(0);
    uint64_t serial = bootReader.U64(kSerialAt).value_or(0);
    uint64_t bytes = sectors <= UINT64_MAX / volume->GetSectorSize() ? sectors * volume->GetSectorSize() : 0;

    uint16_t version = volume->GetVersion();
    std::wstring text;
    text += FormatWide(L"Source:             %s\n", EscapeControls(options.source));
    if (options.offset) text += FormatWide(L"Offset:             %I64u\n", *options.offset);
    text += FormatWide(L"Label:              %s\n", EscapeControls(ReadLabel(*volume)));
    text += FormatWide(L"Serial number:      %04X-%04X\n", static_cast<uint32_t>(serial >> 16) & 0xFFFF,
                       static_cast<uint32_t>(serial) & 0xFFFF);
    text += FormatWide(L"NTFS version:       %u.%u\n", version >> 8, version & 0xFF);
    text += FormatWide(L"Volume size:        %I64u bytes (%s)\n", bytes, FormatFileSize(bytes));
    text += FormatWide(L"Bytes per sector:   %u\n", volume->GetSectorSize());
    text += FormatWide(L"Bytes per cluster:  %u\n", volume->GetClusterSize());
    text += FormatWide(L"File record size:   %u\n", volume->GetFileRecordSize());
    text += FormatWide(L"Index block size:   %u\n", volume->GetIndexBlockSize());
    text += FormatWide(L"MFT offset:         %I64u (cluster %I64u)\n", volume->GetMFTAddr(),
                       volume->GetMFTAddr() / volume->GetClusterSize());
    text += FormatWide(L"MFT records:        %I64u\n", volume->GetRecordsCount());
    SourceExtent extent = MeasureSource(options, *volume);
    if (extent.IsShort()) text += ShortSourceText(options, extent) + L"\n";
    console.Out(text);
    console.Flush();
    if (!volume->HasMFTData()) {
        ReportLoggedErrors(options, console, errors);
        console.Err(L"The MFT's data attribute cannot be read: no record past the system files can be found.");
        return kExitUnusable;
    }
    return kExitOk;
}

}  // namespace Vorlaq

#include "base/WideFormat.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/ShadowCopyStep.h"
#include "cli/VolumeCheck.h"
#include "scan/DisplayText.h"
#include "scan/VolumeSession.h"

namespace Vorlaq {

int RunInfo(CliOptions& options, Console& console, ErrorLogCapture& errors) {
    int exitCode = kExitUnusable;
    std::unique_ptr<VolumeSession> session = OpenSession(options, console, errors, &exitCode);
    if (!session) return exitCode;

    const VolumeDescription d = session->Describe();
    std::wstring text;
    text += FormatWide(L"Source:             %s\n", EscapeControls(options.source));
    if (options.offset) text += FormatWide(L"Offset:             %I64u\n", *options.offset);
    text += FormatWide(L"Label:              %s\n", EscapeControls(d.label));
    text += FormatWide(L"Serial number:      %04X-%04X\n", static_cast<uint32_t>(d.serialNumber >> 16) & 0xFFFF,
                       static_cast<uint32_t>(d.serialNumber) & 0xFFFF);
    text += FormatWide(L"NTFS version:       %u.%u\n", d.version >> 8, d.version & 0xFF);
    text += FormatWide(L"Volume size:        %I64u bytes (%s)\n", d.volumeBytes, FormatFileSize(d.volumeBytes));
    text += FormatWide(L"Bytes per sector:   %u\n", d.sectorSize);
    text += FormatWide(L"Bytes per cluster:  %u\n", d.clusterSize);
    text += FormatWide(L"File record size:   %u\n", d.fileRecordSize);
    text += FormatWide(L"Index block size:   %u\n", d.indexBlockSize);
    text += FormatWide(L"MFT offset:         %I64u (cluster %I64u)\n", d.mftAddr, d.mftAddr / d.clusterSize);
    text += FormatWide(L"MFT records:        %I64u\n", d.records);
    text += DescribeShadowCopies(session->GetSource());
    const SourceExtent& extent = session->GetExtent();
    if (extent.IsShort()) text += ShortSourceText(options, extent) + L"\n";
    console.Out(text);
    console.Flush();
    if (!session->HasMFTData()) {
        ReportLoggedErrors(options, console, errors);
        console.Err(L"The MFT's data attribute cannot be read: no record past the system files can be found.");
        return kExitUnusable;
    }
    return kExitOk;
}

}  // namespace Vorlaq

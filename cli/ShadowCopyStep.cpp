#include "cli/ShadowCopyStep.h"

#include "base/WideFormat.h"
#include "base/os/ShadowCatalog.h"
#include "base/os/ShadowCopies.h"
#include "cli/FieldText.h"
#include "cli/VolumeCheck.h"

namespace Vorlaq {

bool ShadowCopiesUsable(const CliOptions& options, Console& console) {
    if (!options.shadowCopies || CanReadShadowCopies()) return true;
    console.Err(L"quorret-cli: --shadow-copies needs libvshadow, which only the Linux build of quorret-cli has: read "
                L"the image there.");
    return false;
}

std::wstring DescribeShadowCopies(const VolumeSource& source) {
    const std::unique_ptr<Device> device = source.OpenDevice();
    if (!device) return std::wstring();
    const ShadowCatalog catalog = ReadShadowCatalog(*device);
    if (!catalog.present) return std::wstring();
    std::wstring text = FormatWide(L"Shadow copies:      %u%s\n", static_cast<uint32_t>(catalog.copies.size()),
                                   catalog.damaged ? L" (the catalog is damaged past them)" : L"");
    IsoTimeText times(LocalUtcOffsetSeconds());
    for (const ShadowCatalogEntry& copy : catalog.copies) {
        std::wstring line = FormatWide(L"Shadow copy %u:", copy.number);
        line.resize(20, L' ');
        if (!times.Append(line, copy.created)) line += L"(no creation time)";
        if (copy.offline) line += L" offline";
        text += line + L"\n";
    }
    return text;
}

std::wstring ShadowFileId(const DeletedFileInfo& file) {
    return FormatWide(L"%u:%I64u", file.GetShadowCopy(), file.GetRecordNumber());
}

ShadowCopyFiles FindShadowFiles(const CliOptions& options, const VolumeSource& source, const FileFilter& filter,
                                Console& console, ErrorLogCapture& errors, const std::atomic<bool>* stop) {
    ShadowCopyFiles found;
    errors.Take();
    found.copies = ShadowCopies::Open(source);
    // A damaged catalog or store: one line each, the other copies are read all the same.
    std::vector<std::wstring> lines = errors.Take();
    if (!options.verbose)
        for (const std::wstring& line : lines) console.Err(L"quorret-cli: " + EscapeControls(line));
    if (!found.copies) return found;
    ShadowCopyFound walked = FindShadowCopyFiles(*found.copies, source, filter, stop);
    found.files = std::move(walked.files);
    found.neverWritten = walked.neverWritten;
    found.read = found.copies->GetCopies().size() - walked.unreadable.size();
    // A damaged record is counted in the summary like the volume's own; a copy that cannot be
    // read at all is said.
    if (!options.verbose)
        for (uint32_t number : walked.unreadable)
            console.Err(FormatWide(L"quorret-cli: shadow copy %u holds no readable NTFS volume; the other copies "
                                   L"are read.",
                                   number));
    return found;
}

std::wstring ShadowSummaryText(const ShadowCopyFiles& found) {
    if (!found.copies) return L" Shadow copies: none.";
    return FormatWide(L" Shadow copies: %u read, %I64u %s found.", static_cast<uint32_t>(found.read),
                      static_cast<uint64_t>(found.files.size()), found.files.size() == 1 ? L"file" : L"files");
}

}  // namespace Vorlaq

#include "cli/RestoreExtrasStep.h"

#include "base/WideFormat.h"
#include "base/os/FileTimes.h"
#include "scan/PathNames.h"
#include "scan/RestoreExtras.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {

void AddNote(std::wstring& note, const std::wstring& text) {
    if (!note.empty()) note += L"; ";
    note += text;
}

}  // namespace

RestoreExtrasResult RestoreExtrasOf(const CliOptions& options, const VolumeSource& source, uint64_t record,
                                    const std::wstring& dest) {
    RestoreExtrasResult result;
    const std::vector<std::wstring> streams = ListNamedStreams(source, record);
    if (options.streams) {
        const bool namedStreams = !streams.empty() && SupportsNamedStreams(GetParentPath(dest));
        for (const std::wstring& stream : streams) {
            RestoredStream restored;
            restored.dest = StreamDestination(dest, stream, namedStreams);
            restored.ok = !restored.dest.empty() && RestoreFile(source, record, restored.dest, stream);
            if (restored.dest.empty()) restored.dest = dest + L"_" + SafeFileName(stream);
            result.streams.push_back(std::move(restored));
        }
    } else if (!streams.empty()) {
        AddNote(result.note, streams.size() == 1
                                 ? std::wstring(L"1 named stream left out")
                                 : FormatWide(L"%u named streams left out", static_cast<unsigned>(streams.size())));
    }
    // Times last: writing a stream beside the file in its own folder would not touch them, but a
    // stream of the file itself changes its modification time.
    uint32_t error = 0;
    if (options.keepTimes && !KeepRecordTimes(source, record, dest, &error))
        AddNote(result.note, error ? FormatWide(L"warning: times not kept (error %u)", error)
                                   : std::wstring(L"warning: the record has no times to keep"));
    return result;
}

}  // namespace Vorlaq

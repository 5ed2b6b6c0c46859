#include "cli/RestoreExtrasStep.h"

#include "base/WideFormat.h"
#include "scan/PathNames.h"
#include "scan/RestoreExtras.h"

namespace Vorlaq {

namespace {

void AddNote(std::wstring& note, const std::wstring& text) {
    if (!note.empty()) note += L"; ";
    note += text;
}

}  // namespace

RestoreExtrasResult RestoreExtrasOf(const CliOptions& options, const VolumeSource& source, uint64_t record,
                                    Folder& folder, const RestoreOutcome& file, const std::atomic<bool>* stop) {
    RestoreExtrasResult result;
    const std::vector<std::wstring> streams = ListNamedStreams(source, record);
    if (options.streams) {
        const std::wstring fileName = GetFileNamePart(file.dest);
        for (const std::wstring& stream : streams) {
            RestoreChoices choices;
            choices.stream = stream;
            const std::wstring name = StreamFileName(fileName, stream);
            result.streams.push_back({JoinPath(folder.GetPath(), SafeFileName(name)),
                                      RestoreFileInto(source, record, folder, name, stop, choices)});
        }
    } else if (!streams.empty()) {
        AddNote(result.note, streams.size() == 1
                                 ? std::wstring(L"1 named stream left out")
                                 : FormatWide(L"%u named streams left out", static_cast<unsigned>(streams.size())));
    }
    if (options.keepTimes && !file.timesKept)
        AddNote(result.note, file.timesError ? FormatWide(L"warning: times not kept (error %u)", file.timesError)
                                             : std::wstring(L"warning: the record has no times to keep"));
    return result;
}

}  // namespace Vorlaq

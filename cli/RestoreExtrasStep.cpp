#include "cli/RestoreExtrasStep.h"

#include "base/WideFormat.h"
#include "scan/FittedName.h"
#include "scan/PathNames.h"
#include "scan/RestoreExtras.h"

namespace Vorlaq {

namespace {

void AddNote(std::wstring& note, const std::wstring& text) {
    if (!note.empty()) note += L"; ";
    note += text;
}

}  // namespace

std::vector<RestoredStream> RestoreNamedStreams(const VolumeSource& source, uint64_t record, Folder& folder,
                                                WritableFile& file, const std::wstring& dest,
                                                const RestoreChoices& fileChoices, const std::atomic<bool>* stop) {
    std::vector<RestoredStream> restored;
    const std::wstring fileName = GetFileNamePart(dest);
    for (const std::wstring& stream : ListNamedStreams(source, record)) {
        RestoreChoices choices;
        choices.stream = stream;
        choices.sequence = fileChoices.sequence;
        choices.inUseToo = fileChoices.inUseToo;
        const std::wstring beside = StreamFileName(fileName, stream);
        // A stream name that is no safe file name (a colon would name an attribute type) goes
        // beside the file, where CreateUniqueFile makes it safe.
        const bool native = SafeFileName(stream) == stream;
        auto make = [&](std::wstring* path) {
            uint32_t error = 0;
            if (native) {
                if (std::unique_ptr<WritableFile> own = file.CreateNamedStream(stream, &error)) {
                    *path = dest + L":" + stream;
                    return own;
                }
            }
            return CreateUniqueFile(folder, beside, path);
        };
        restored.push_back({JoinPath(folder.GetPath(), DestinationName(beside)),
                            RestoreFile(source, record, make, stop, choices)});
    }
    return restored;
}

std::wstring RestoreNote(const CliOptions& options, const VolumeSource& source, uint64_t record,
                         const RestoreOutcome& file) {
    std::wstring note;
    if (!options.streams) {
        const size_t streams = ListNamedStreams(source, record).size();
        if (streams == 1)
            AddNote(note, L"1 named stream left out");
        else if (streams > 1)
            AddNote(note, FormatWide(L"%u named streams left out", static_cast<unsigned>(streams)));
    }
    if (options.keepTimes && !file.timesKept)
        AddNote(note, file.timesError ? FormatWide(L"warning: times not kept (error %u)", file.timesError)
                                      : std::wstring(L"warning: the record has no times to keep"));
    return note;
}

}  // namespace Vorlaq

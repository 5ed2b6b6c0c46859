#include "app/LogFileRoll.h"

#include "base/os/Files.h"

namespace Vorlaq {

LogRoll DecideLogRoll(EntryState entry, bool sizeKnown, uint64_t size)
{
    if (entry == EntryState::Absent)
        return LogRoll::CreateEmpty;
    if (!sizeKnown)
        return LogRoll::Keep;
    return size >= kLogSizeLimit ? LogRoll::CreateEmpty : LogRoll::Keep;
}

bool RollLogFile(const std::wstring& path)
{
    const EntryState entry = ProbeEntry(path);  // logs an unexpected failure itself
    uint64_t size = 0;
    bool sizeKnown = false;
    if (entry != EntryState::Absent) {
        uint32_t error = 0;
        sizeKnown = QueryFileSize(path, &size, &error);
        if (!sizeKnown)
            LogFileError(error, path);
    }
    if (DecideLogRoll(entry, sizeKnown, size) == LogRoll::Keep)
        return false;
    uint32_t error = 0;
    std::unique_ptr<WritableFile> file = WritableFile::CreateAlways(path, &error);
    if (!file) {
        LogFileError(error, path);
        return false;
    }
    if (!file->Close(&error)) {
        LogFileError(error, path);
        return false;
    }
    return true;
}

}  // namespace Vorlaq

#include "app/EngineRestoreCopier.h"

#include "scan/FileSystem.h"
#include "scan/FittedName.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {

FileRestoreResult ResultOf(RestoreOutcome outcome, const std::wstring& wanted)
{
    RemoveEmptyFailure(outcome);
    FileRestoreResult result;
    result.ok = outcome.ok;
    result.destination = outcome.dest.empty() ? wanted : outcome.dest;
    result.reason = outcome.reason;
    result.partial = PartialText(outcome);
    return result;
}

}  // namespace

VolumeSource EngineRestoreCopier::SourceOf(const std::wstring& volume) const
{
    return volume == scanned_.GetVolumeText() ? scanned_ : VolumeSource::FromText(volume);
}

FileRestoreResult EngineRestoreCopier::Restore(const std::wstring& volume, uint64_t recordNumber,
                                               const std::wstring& destination)
{
    return ResultOf(RestoreFileOnto(SourceOf(volume), recordNumber, destination, stop_), destination);
}

FileRestoreResult EngineRestoreCopier::RestoreInto(const std::wstring& volume, uint64_t recordNumber,
                                                   const std::wstring& folder, const std::wstring& name)
{
    const std::wstring wanted = JoinPath(folder, DestinationName(name));
    uint32_t error = 0;
    std::unique_ptr<Folder> target = Folder::Open(folder, &error);
    if (!target) {
        LogFileError(error, folder);
        FileRestoreResult result;
        result.destination = wanted;
        result.reason = FileErrorReason(error);
        return result;
    }
    return ResultOf(RestoreFileInto(SourceOf(volume), recordNumber, *target, name, stop_), wanted);
}

}  // namespace Vorlaq

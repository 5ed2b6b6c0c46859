#include "app/RestoreFlow.h"

#include <cwctype>

#include "base/LogManager.h"
#include "base/WideFormat.h"

namespace Vorlaq {

namespace {

constexpr const wchar_t* kSameDriveQuestion =
    L"Are you sure to save the restored file(s) to the same drive? \r\nYou may get corrupted data! ";

// Asks the same-drive question when it applies; true to go on.
bool ConfirmDestination(const std::wstring& volume, const std::wstring& destination, RestoreUi& ui)
{
    return !IsSameDrive(volume, destination) || ui.AskYesNo(kSameDriveQuestion);
}

void RestoreOne(const DeletedFileInfo& file, RestoreUi& ui)
{
    std::wstring path;
    if (!ui.ChooseFile(file.GetName(), &path) || path.empty())
        return;
    if (!ConfirmDestination(file.GetVolume(), path, ui))
        return;
    if (ui.Restore(file.GetVolume(), file.GetRecordNumber(), path))
        ui.Tell(FormatWide(L"File restored: %s. ", path));
    else
        ui.Tell(FormatWide(L"Failed to restore file: %s. ", path));
}

void RestoreMany(const std::vector<DeletedFileInfo>& files, RestoreUi& ui)
{
    std::wstring folder;
    if (!ui.ChooseFolder(&folder) || folder.empty())
        return;
    // One volume for the whole operation: the first row's.
    const std::wstring volume = files.front().GetVolume();
    if (!ConfirmDestination(volume, folder, ui))
        return;
    int restored = 0;
    for (const DeletedFileInfo& file : files) {
        std::wstring destination;
        if (ui.RestoreInto(volume, file.GetRecordNumber(), folder, file.GetName(), &destination))
            ++restored;
        else
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", destination);
    }
    ui.Tell(FormatWide(L"Total %d files restored. ", restored));
}

}  // namespace

bool IsSameDrive(const std::wstring& volume, const std::wstring& destination)
{
    if (volume.empty() || destination.empty())
        return false;
    return std::towlower(volume[0]) == std::towlower(destination[0]);
}

void RunRestore(const std::vector<DeletedFileInfo>& selected, RestoreUi& ui)
{
    if (selected.empty()) {
        ui.Tell(L"Please select deleted file(s) to restore. ");
        return;
    }
    if (selected.size() == 1)
        RestoreOne(selected.front(), ui);
    else
        RestoreMany(selected, ui);
}

}  // namespace Vorlaq

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

// "Disk is full (102400 of 1638400 bytes kept)".
std::wstring FailureDetail(const FileRestoreResult& result)
{
    std::wstring detail = result.reason.empty() ? L"Failed" : result.reason;
    if (!result.partial.empty())
        detail += L" (" + result.partial + L")";
    return detail;
}

}  // namespace

bool IsSameDrive(const std::wstring& volume, const std::wstring& destination)
{
    if (volume.empty() || destination.empty())
        return false;
    return std::towlower(volume[0]) == std::towlower(destination[0]);
}

bool PlanRestore(const std::vector<DeletedFileInfo>& selected, RestoreUi& ui, RestorePlan* plan)
{
    if (selected.empty()) {
        ui.Tell(L"Please select deleted file(s) to restore. ");
        return false;
    }
    // One volume for the whole operation: the first row's.
    plan->volume = selected.front().GetVolume();
    plan->files = selected;
    plan->path.clear();
    plan->folder.clear();
    if (selected.size() == 1) {
        if (!ui.ChooseFile(selected.front().GetName(), &plan->path) || plan->path.empty())
            return false;
        return ConfirmDestination(plan->volume, plan->path, ui);
    }
    if (!ui.ChooseFolder(&plan->folder) || plan->folder.empty())
        return false;
    return ConfirmDestination(plan->volume, plan->folder, ui);
}

std::vector<FileRestoreResult> RunRestorePlan(const RestorePlan& plan, RestoreCopier& copier,
                                              const std::atomic<bool>* stop, std::atomic<size_t>* done)
{
    std::vector<FileRestoreResult> results;
    for (const DeletedFileInfo& file : plan.files) {
        if (stop && stop->load())
            break;
        FileRestoreResult result =
            plan.folder.empty()
                ? copier.Restore(plan.volume, file.GetRecordNumber(), plan.path)
                : copier.RestoreInto(plan.volume, file.GetRecordNumber(), plan.folder, file.GetName());
        if (!result.ok)
            LogManager::instance().print(LogLevel::Error, L"Failed to restore file: %s. ", result.destination);
        results.push_back(std::move(result));
        if (done)
            done->fetch_add(1);
    }
    return results;
}

std::wstring RestoreSummary(const RestorePlan& plan, const std::vector<FileRestoreResult>& results)
{
    if (plan.folder.empty()) {
        if (results.empty())
            return FormatWide(L"Failed to restore file: %s. Stopped. ", plan.path);
        const FileRestoreResult& result = results.front();
        if (result.ok)
            return FormatWide(L"File restored: %s. ", result.destination);
        return FormatWide(L"Failed to restore file: %s. ", result.destination) + FailureDetail(result) + L". ";
    }
    int restored = 0;
    std::vector<const FileRestoreResult*> failed;
    for (const FileRestoreResult& result : results) {
        if (result.ok)
            ++restored;
        else
            failed.push_back(&result);
    }
    std::wstring text = FormatWide(L"Total %d files restored. ", restored);
    if (!failed.empty())
        text += FormatWide(L"\r\n%d files failed:", static_cast<int>(failed.size()));
    for (size_t i = 0; i < failed.size() && i < kListedFailures; ++i)
        text += L"\r\n" + failed[i]->destination + L": " + FailureDetail(*failed[i]);
    if (failed.size() > kListedFailures)
        text += FormatWide(L"\r\n%d more failed: see the log.", static_cast<int>(failed.size() - kListedFailures));
    if (results.size() < plan.files.size())
        text += FormatWide(L"\r\nStopped: %d files not restored.", static_cast<int>(plan.files.size() - results.size()));
    return text;
}

}  // namespace Vorlaq

#pragma once
// What "Restore..." does with the selected rows: one file goes to a path the save dialog gives,
// several go into a folder the folder chooser gives under names made unique as they are created; restoring onto the
// drive being read asks first. The questions and choosers are reached through RestoreUi and the
// copies through RestoreCopier, so the decisions can be driven without windows; the window asks
// on its own thread (PlanRestore) and copies on a worker (RunRestorePlan), then tells the user
// what became of every file (RestoreSummary).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

class RestoreUi {
public:
    virtual ~RestoreUi() = default;
    // The save dialog with the proposed file name; false when cancelled.
    virtual bool ChooseFile(const std::wstring& proposedName, std::wstring* path) = 0;
    // The folder chooser; false when cancelled.
    virtual bool ChooseFolder(std::wstring* folder) = 0;
    // A Yes/No question with No as the default; true for Yes.
    virtual bool AskYesNo(const std::wstring& text) = 0;
    // A message with an OK button.
    virtual void Tell(const std::wstring& text) = 0;
};

// What became of one file.
struct FileRestoreResult {
    bool ok = false;
    std::wstring destination;  // the file made, or the one wanted when none was
    std::wstring reason;       // why it failed, in a few words
    std::wstring partial;      // for a failed file that stays: how much of it it holds
};

class RestoreCopier {
public:
    virtual ~RestoreCopier() = default;
    // Onto the path the save dialog confirmed, replacing what is there.
    virtual FileRestoreResult Restore(const std::wstring& volume, uint64_t recordNumber,
                                      const std::wstring& destination) = 0;
    // Into `folder` as a new file named after `name`, made safe and unique as it is created
    // (nothing in the folder is overwritten or followed).
    virtual FileRestoreResult RestoreInto(const std::wstring& volume, uint64_t recordNumber,
                                          const std::wstring& folder, const std::wstring& name) = 0;
};

// The copies the user asked for: one file onto `path`, or several into `folder`, all read from
// `volume` (the first row's).
struct RestorePlan {
    std::wstring volume;
    std::vector<DeletedFileInfo> files;
    std::wstring path;
    std::wstring folder;
};

// The destination is on the drive being read: the first characters match, letter case aside.
bool IsSameDrive(const std::wstring& volume, const std::wstring& destination);

// The choosers and the same-drive question for the selected rows (top to bottom); false when
// nothing is to be copied (nothing selected, which is said, a chooser cancelled, or No).
bool PlanRestore(const std::vector<DeletedFileInfo>& selected, RestoreUi& ui, RestorePlan* plan);

// The copies, in order, each failure logged. A set `stop` ends the run before the next file
// (the copier itself stops within one); the results then stop short of the plan's files. *done
// counts the files finished, for a progress line on another thread.
std::vector<FileRestoreResult> RunRestorePlan(const RestorePlan& plan, RestoreCopier& copier,
                                              const std::atomic<bool>* stop = nullptr,
                                              std::atomic<size_t>* done = nullptr);

// The message that ends the restore: the file restored or why not; for several files the count
// restored, then every failed file with its reason (the first kListedFailures of them, the rest
// counted and left to the log), and how many a stop left untouched.
constexpr size_t kListedFailures = 5;
std::wstring RestoreSummary(const RestorePlan& plan, const std::vector<FileRestoreResult>& results);

}  // namespace Vorlaq

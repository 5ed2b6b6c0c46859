#pragma once
// What "Restore..." does with the selected rows: one file goes to a path the save dialog gives,
// several go into a folder the folder chooser gives under names made unique as they are created; restoring onto the
// drive being read asks first. The questions, choosers and the copy itself are reached through
// RestoreUi, so the decisions can be driven without windows.
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
    // Onto the path the save dialog confirmed, replacing what is there.
    virtual bool Restore(const std::wstring& volume, uint64_t recordNumber, const std::wstring& destination) = 0;
    // Into `folder` as a new file named after `name`, made unique as it is created (nothing in
    // the folder is overwritten or followed); *destination is the path used, or the one wanted
    // when no file was made.
    virtual bool RestoreInto(const std::wstring& volume, uint64_t recordNumber, const std::wstring& folder,
                             const std::wstring& name, std::wstring* destination) = 0;
};

// The destination is on the drive being read: the first characters match, letter case aside.
bool IsSameDrive(const std::wstring& volume, const std::wstring& destination);

// Runs the whole restore for the selected rows (top to bottom).
void RunRestore(const std::vector<DeletedFileInfo>& selected, RestoreUi& ui);

}  // namespace Vorlaq

#pragma once
// File-system questions the engine and the dialog share, with failures worded in fixed texts.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Vorlaq {

// The log text (one %s for the path) that names a Windows error code.
const wchar_t* FileErrorText(uint32_t error);
// The error's text for `path`, the path as the system spells it, and the system's own reason
// where it gives one beyond the code ("Access denied: /srv/out (Permission denied)").
std::wstring FileErrorMessage(uint32_t error, const std::wstring& path);
// The same words without the path, for a list of failed files ("Disk is full").
std::wstring FileErrorReason(uint32_t error);
// Logs FileErrorMessage at the error level.
void LogFileError(uint32_t error, const std::wstring& path);

enum class EntryState { Absent, Present, Unknown };
// Whether a file or folder is at path; Unknown (logged with its file-error text) when the system
// could not say.
EntryState ProbeEntry(const std::wstring& path);
// True when a file or folder exists at path. A failure other than "not there" is logged with its
// file-error text and counts as existing, so a caller never overwrites what it cannot see.
bool FileExists(const std::wstring& path);

// Roots C:\ to Z:\ (never A or B) whose drive type is fixed (3) or removable (2), in letter order.
std::vector<std::wstring> EnumLocalDrives();
// The same, asking `driveType` instead of the system.
std::vector<std::wstring> EnumLocalDrives(const std::function<uint32_t(const std::wstring&)>& driveType);

}  // namespace Vorlaq

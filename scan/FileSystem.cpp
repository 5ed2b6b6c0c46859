#include "scan/FileSystem.h"

#include <string_view>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"

namespace Vorlaq {

namespace {
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
}  // namespace

const wchar_t* FileErrorText(uint32_t error) {
    switch (error) {
    case 2: return L"File not found: %s";
    case 3:     // ERROR_PATH_NOT_FOUND
    case 15:    // ERROR_INVALID_DRIVE
    case 53:    // ERROR_BAD_NETPATH
    case 82:    // ERROR_CANNOT_MAKE
    case 1921:  // ERROR_CANT_RESOLVE_FILENAME
        return L"Path not found: %s";
    case 5: return L"Access denied: %s";
    case 29: return L"Write file error: %s";
    case 30: return L"Read file error: %s";
    case 32: return L"Sharing violation: %s";
    case 33: return L"Lock violation: %s";
    case 38: return L"EOF reached: %s";
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
        return L"Disk is full: %s";
    case 66: return L"Not a disk or an image file: %s";  // ERROR_BAD_DEV_TYPE
    case 80:   // ERROR_FILE_EXISTS
    case 183:  // ERROR_ALREADY_EXISTS
        return L"File already exists: %s";
    case 123:  // ERROR_INVALID_NAME
    case 161:  // ERROR_BAD_PATHNAME
    case 206:  // ERROR_FILENAME_EXCED_RANGE
    case 267:  // ERROR_DIRECTORY
        return L"Path syntax error: %s";
    case 131: return L"Negative seek: %s";
    case 145: return L"Directory not empty: %s";
    case 681: return L"Link not followed: %s";  // ERROR_STOPPED_ON_SYMLINK
    case 6009: return L"File is read-only: %s";
    default: return L"File error: %s";
    }
}

std::wstring FileErrorMessage(uint32_t error, const std::wstring& path) {
    std::wstring text = FormatWide(FileErrorText(error), NativePathText(path));
    std::wstring reason = SystemErrorReason(error);
    if (!reason.empty()) text += L" (" + reason + L")";
    return text;
}

std::wstring FileErrorReason(uint32_t error) {
    const std::wstring_view text = FileErrorText(error);
    return std::wstring(text.substr(0, text.find(L": %s")));
}

void LogFileError(uint32_t error, const std::wstring& path) {
    LogManager::instance().print(LogLevel::Error, L"%s", FileErrorMessage(error, path));
}

EntryState ProbeEntry(const std::wstring& path) {
    uint32_t error = 0;
    if (QueryFileAttributes(path, &error)) return EntryState::Present;
    switch (error) {
    case kErrorFileNotFound:
    case kErrorPathNotFound:
    case kErrorInvalidDrive:
    case kErrorNotReady:
        return EntryState::Absent;
    default:
        LogFileError(error, path);
        return EntryState::Unknown;
    }
}

bool FileExists(const std::wstring& path) { return ProbeEntry(path) != EntryState::Absent; }

std::vector<std::wstring> EnumLocalDrives() { return EnumLocalDrives(QueryDriveType); }

std::vector<std::wstring> EnumLocalDrives(const std::function<uint32_t(const std::wstring&)>& driveType) {
    std::vector<std::wstring> roots;
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        std::wstring root{letter, L':', L'\\'};
        uint32_t type = driveType(root);
        if (type == kDriveFixed || type == kDriveRemovable) roots.push_back(root);
    }
    return roots;
}

}  // namespace Vorlaq

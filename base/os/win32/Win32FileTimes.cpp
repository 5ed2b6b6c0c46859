#include <windows.h>

#include <vector>

#include "base/os/FileTimes.h"

namespace Vorlaq {

namespace {

FILETIME ToFiletime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

}  // namespace

bool SetFileTimes(const std::wstring& path, uint64_t created, uint64_t modified, uint64_t accessed, uint32_t* error) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return false;
    }
    const FILETIME c = ToFiletime(created), m = ToFiletime(modified), a = ToFiletime(accessed);
    const BOOL ok = SetFileTime(handle, created ? &c : nullptr, accessed ? &a : nullptr, modified ? &m : nullptr);
    if (!ok && error) *error = GetLastError();
    CloseHandle(handle);
    return ok != FALSE;
}

bool SupportsNamedStreams(const std::wstring& folder) {
    std::vector<wchar_t> root(folder.size() + 2, L'\0');
    if (!GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
    DWORD flags = 0;
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, &flags, fileSystem, MAX_PATH + 1))
        return false;
    return (flags & FILE_NAMED_STREAMS) != 0;
}

}  // namespace Vorlaq

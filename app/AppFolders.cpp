#include "app/AppFolders.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "scan/FileSystem.h"
#include "scan/PathNames.h"

namespace Vorlaq {

namespace {

constexpr DWORD kTempPathChars = 260;
constexpr DWORD kLongPathChars = 4096;

void CreateIfMissing(const std::wstring& folder)
{
    if (!folder.empty() && !FileExists(folder))
        ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

}  // namespace

std::wstring PrepareTempFolder()
{
    wchar_t temp[kTempPathChars] = {};
    ::GetTempPathW(kTempPathChars, temp);
    std::wstring longPath(kLongPathChars, L'\0');
    const DWORD length = ::GetLongPathNameW(temp, longPath.data(), kLongPathChars);
    longPath.resize(length < kLongPathChars ? length : 0);
    const std::wstring folder = JoinPath(longPath, kMakerFolder);
    CreateIfMissing(folder);
    return folder;
}

std::wstring PrepareAppFolder()
{
    wchar_t appData[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
        appData[0] = L'\0';
    else
        ::PathAddBackslashW(appData);
    const std::wstring folder = JoinPath(appData, kMakerFolder);
    CreateIfMissing(folder);
    return folder;
}

}  // namespace Vorlaq

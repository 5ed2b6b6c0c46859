#include "app/BrowseForFolder.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace Vorlaq {

bool BrowseForFolder::setOwner(HWND owner)
{
    if (!::IsWindow(owner))
        return false;
    owner_ = owner;
    return true;
}

bool BrowseForFolder::setInitialFolder(const std::wstring& path)
{
    if (!::PathIsDirectoryW(path.c_str()))
        return false;
    initialFolder_ = path;
    return true;
}

bool BrowseForFolder::setTitle(const std::wstring& title)
{
    if (title.empty())
        return false;
    title_ = title;
    return true;
}

int CALLBACK BrowseForFolder::OnBrowseEvent(HWND chooser, UINT message, LPARAM /*lParam*/, LPARAM data)
{
    const auto* initial = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && initial != nullptr && initial[0] != L'\0')
        ::SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool BrowseForFolder::show()
{
    folder_.clear();
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.lpszTitle = title_.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = OnBrowseEvent;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder_.c_str());
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
    if (item == nullptr)
        return false;
    wchar_t path[MAX_PATH] = {};
    const bool isFolder = ::SHGetPathFromIDListW(item, path) != FALSE;
    ::CoTaskMemFree(item);
    if (!isFolder)
        return false;
    folder_ = path;
    return true;
}

}  // namespace Vorlaq

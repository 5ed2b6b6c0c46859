#pragma once
// The shell's folder chooser: file-system folders only, new dialog style, optionally opened at
// an initial folder. show() is true with folder() set when the user chose a real folder.
#include <windows.h>

#include <string>

namespace Vorlaq {

class BrowseForFolder {
public:
    virtual ~BrowseForFolder() = default;

    // Each setter keeps the value only when it is usable: a window, an existing directory, a
    // non-empty title.
    bool setOwner(HWND owner);
    bool setInitialFolder(const std::wstring& path);
    bool setTitle(const std::wstring& title);

    virtual bool show();
    std::wstring folder() const { return folder_; }

private:
    static int CALLBACK OnBrowseEvent(HWND chooser, UINT message, LPARAM lParam, LPARAM data);

    HWND owner_ = nullptr;
    std::wstring initialFolder_;
    std::wstring title_;
    std::wstring folder_;
};

}  // namespace Vorlaq

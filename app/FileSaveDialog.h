#pragma once
// The platform's save dialog for one restored file: Explorer style, resizable, asks before
// overwriting, one filter entry "All files (*.*)". No default extension is added: the proposed
// name is the deleted file's own, extension included, and whatever the user types is kept.
#include <windows.h>

#include <string>

namespace Vorlaq {

class FileSaveDialog {
public:
    static constexpr size_t kFileNameChars = 260;
    static constexpr size_t kFileTitleChars = 256;

    // Proposes `fileName`, cut to fit the buffer; true with Path() set when the user chose OK.
    bool Show(HWND owner, const std::wstring& fileName);
    std::wstring Path() const { return fileName_; }

private:
    wchar_t fileName_[kFileNameChars] = {};
    wchar_t fileTitle_[kFileTitleChars] = {};
};

}  // namespace Vorlaq

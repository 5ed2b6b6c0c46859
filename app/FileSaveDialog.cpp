#include "app/FileSaveDialog.h"

#include <commdlg.h>

namespace Vorlaq {

namespace {
// Pairs of display text and pattern, ended by an empty pair.
constexpr wchar_t kFilter[] = L"All files (*.*)\0*.*\0";
}  // namespace

bool FileSaveDialog::Show(HWND owner, const std::wstring& fileName)
{
    const size_t length = fileName.copy(fileName_, kFileNameChars - 1);
    fileName_[length] = L'\0';
    fileTitle_[0] = L'\0';

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName_;
    ofn.nMaxFile = static_cast<DWORD>(kFileNameChars);
    ofn.lpstrFileTitle = fileTitle_;
    ofn.nMaxFileTitle = static_cast<DWORD>(kFileTitleChars);
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_OVERWRITEPROMPT;
    return ::GetSaveFileNameW(&ofn) != FALSE;
}

}  // namespace Vorlaq

#include "scan/FileFilter.h"

#include "base/Utf16.h"
#include "scan/PathNames.h"
#include "scan/TextUtils.h"

namespace Vorlaq {

void FileFilter::SetFilters(const std::wstring& text) {
    text_ = text.empty() ? L"*.*" : text;
    list_.clear();
    std::vector<std::wstring> tokens = SplitString(text_, L";", false);
    if (tokens.empty()) {
        list_.push_back(L"*");
        return;
    }
    for (std::wstring& token : tokens) {
        TrimLeft(token, WhitespaceChars());
        TrimRight(token, WhitespaceChars());
        if (token.empty()) continue;
        // A bare "txt" is an extension, not a name without one.
        if (token[0] != L'.') token.insert(token.begin(), L'.');
        std::wstring ext = FoldAsciiLower(GetFileExtension(token));
        if (!ext.empty()) list_.push_back(std::move(ext));
    }
}

bool FileFilter::MatchFile(const std::wstring& name) const {
    if (name.empty()) return false;
    std::wstring ext = FoldAsciiLower(GetFileExtension(name));
    for (const std::wstring& entry : list_)
        if (entry == L"*" || entry == ext) return true;
    return false;
}

}  // namespace Vorlaq

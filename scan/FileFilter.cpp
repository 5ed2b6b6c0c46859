#include "scan/FileFilter.h"

#include <algorithm>

#include "base/Utf16.h"
#include "scan/PathNames.h"
#include "scan/TextUtils.h"

namespace Vorlaq {

void FileFilter::SetFilters(const std::wstring& text) {
    text_ = text.empty() ? L"*.*" : text;
    list_.clear();
    unmatchable_.clear();
    std::vector<std::wstring> tokens = SplitString(text_, L";", false);
    if (tokens.empty()) list_.push_back(L"*");
    for (std::wstring& token : tokens) {
        TrimLeft(token, WhitespaceChars());
        TrimRight(token, WhitespaceChars());
        if (token.empty()) continue;
        const std::wstring pattern = token;
        // A bare "txt" is an extension, not a name without one.
        if (token[0] != L'.') token.insert(token.begin(), L'.');
        std::wstring ext = FoldAsciiLower(GetFileExtension(token));
        if (ext != L"*" && ext.find_first_of(L"*?") != std::wstring::npos) unmatchable_.push_back(pattern);
        if (!ext.empty()) list_.push_back(std::move(ext));
    }
    all_ = std::find(list_.begin(), list_.end(), L"*") != list_.end();
}

namespace {

// `folded` (already lower case) against `text` folded A-Z to a-z, without making a copy: the
// scan asks this for every deleted file.
bool EqualsFolded(const std::wstring& folded, std::wstring_view text) {
    if (folded.size() != text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != folded[i]) return false;
    }
    return true;
}

}  // namespace

bool FileFilter::MatchFile(const std::wstring& name) const {
    if (name.empty()) return false;
    if (all_) return true;
    std::wstring owned;
    std::wstring_view ext;
    if (IsPlainName(name)) {
        ext = GetPlainNameExtension(name);
    } else {
        owned = GetFileExtension(name);
        ext = owned;
    }
    for (const std::wstring& entry : list_)
        if (EqualsFolded(entry, ext)) return true;
    return false;
}

}  // namespace Vorlaq

#include "scan/TextUtils.h"

namespace Vorlaq {

const std::wstring& WhitespaceChars() {
    static const std::wstring kSet = L" \t\n\r\v";
    return kSet;
}

std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& separator, bool keepEmpty) {
    if (separator.empty()) return {text};
    std::vector<std::wstring> pieces;
    size_t pos = 0;
    while (true) {
        size_t found = text.find(separator, pos);
        size_t end = found == std::wstring::npos ? text.size() : found;
        if (keepEmpty || end > pos) pieces.push_back(text.substr(pos, end - pos));
        if (found == std::wstring::npos) break;
        pos = found + separator.size();
    }
    return pieces;
}

void TrimLeft(std::wstring& text, const std::wstring& set) {
    size_t first = text.find_first_not_of(set);
    text.erase(0, first == std::wstring::npos ? text.size() : first);
}

void TrimRight(std::wstring& text, const std::wstring& set) {
    size_t last = text.find_last_not_of(set);
    text.erase(last == std::wstring::npos ? 0 : last + 1);
}

}  // namespace Vorlaq

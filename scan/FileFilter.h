#pragma once
// The user's extension filter ("*.txt;*.log"): only the extension of each pattern counts, and an
// extension of exactly "*" lets every name through.
#include <string>
#include <vector>

namespace Vorlaq {

class FileFilter {
public:
    // Filter text "*.*" and an empty list, which lets no name through until SetFilters.
    FileFilter() = default;

    // Stores the text ("*.*" when empty) and rebuilds the list of lower-case extensions.
    void SetFilters(const std::wstring& text);
    // True when the name's extension, folded to lower case, is in the list or the list holds "*".
    bool MatchFile(const std::wstring& name) const;

    const std::wstring& GetFilterText() const { return text_; }
    const std::vector<std::wstring>& GetFilterList() const { return list_; }
    // The patterns of the text that can match nothing: a wildcard inside an extension ("old*",
    // "*.tx?"), where only a whole extension or "*" is understood.
    const std::vector<std::wstring>& GetUnmatchable() const { return unmatchable_; }

private:
    std::wstring text_ = L"*.*";
    std::vector<std::wstring> list_;
    std::vector<std::wstring> unmatchable_;
    bool all_ = false;  // the list holds "*": no extension need be looked at
};

}  // namespace Vorlaq

#pragma once
// Type-ahead search: letter keys look for the next row whose text in the search column starts
// with what was typed, keys less than 800 ms apart adding to one search text.
#include <cstdint>
#include <functional>
#include <string>

namespace Vorlaq {

class TypeAhead {
public:
    static constexpr uint64_t kPauseMs = 800;

    // letter: 'A'..'Z'; nowMs: a millisecond clock. Returns the row to select, or -1 when the
    // focus stays (nothing found, or the focus row already matches the longer search text).
    int OnLetter(wchar_t letter, uint64_t nowMs, int focusRow, int rowCount,
                 const std::function<std::wstring(int row)>& textOf);

    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;  // lower case
    uint64_t lastMs_ = 0;
    bool typed_ = false;
};

// True when `text` begins with `prefix` (ASCII letters compared without case).
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);

}  // namespace Vorlaq

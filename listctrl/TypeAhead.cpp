#include "listctrl/TypeAhead.h"

namespace Vorlaq {

namespace {

wchar_t Fold(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Fold(text[i]) != Fold(prefix[i]))
            return false;
    }
    return true;
}

int TypeAhead::OnLetter(wchar_t letter, uint64_t nowMs, int focusRow, int rowCount,
                        const std::function<std::wstring(int row)>& textOf)
{
    const wchar_t key = Fold(letter);
    const bool paused = !typed_ || nowMs - lastMs_ >= kPauseMs;
    typed_ = true;
    lastMs_ = nowMs;

    int start;
    if (paused) {
        // A new letter searches the whole list; the same letter again steps to the next match.
        start = !text_.empty() && text_[0] == key ? focusRow + 1 : 0;
        text_.assign(1, key);
    } else {
        if (text_.empty() || text_[0] != key)
            text_.push_back(key);
        if (text_.size() > 1 && focusRow >= 0 && focusRow < rowCount && StartsWithNoCase(textOf(focusRow), text_))
            return -1;
        start = focusRow + 1;
    }
    if (rowCount <= 0)
        return -1;
    if (start < 0 || start >= rowCount)
        start = 0;
    for (int i = 0; i < rowCount; ++i) {
        const int row = (start + i) % rowCount;
        if (StartsWithNoCase(textOf(row), text_))
            return row;
    }
    return -1;
}

}  // namespace Vorlaq

#pragma once
#include <string>
#include <vector>

namespace Vorlaq {

// " \t\n\r\v": what trimming removes, here and in the dialog's filter box.
const std::wstring& WhitespaceChars();

// Pieces of `text` between occurrences of the whole `separator` text. Empty pieces are kept only
// with keepEmpty; an empty separator gives the whole text as the one piece.
std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& separator, bool keepEmpty);

// Remove, in place, every leading (trailing) character that occurs in `set`.
void TrimLeft(std::wstring& text, const std::wstring& set);
void TrimRight(std::wstring& text, const std::wstring& set);

}  // namespace Vorlaq

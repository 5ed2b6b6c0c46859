#pragma once
// Fields of tab-separated text, as the command line's listings and the window's copied rows
// write them.
#include <string>
#include <string_view>

namespace Vorlaq {

// A field of a tab-separated line that decodes back to the text: backslash as \\, tab \t, line
// feed \n, carriage return \r, the other C0 and C1 controls and DEL as \xHH, a lone UTF-16
// surrogate (which UTF-8 cannot carry) as \u{D800}; nothing else changes.
void AppendTsvField(std::wstring& out, std::wstring_view text);
// The same field as UTF-8.
void AppendTsvField(std::string& out, std::wstring_view text);

}  // namespace Vorlaq

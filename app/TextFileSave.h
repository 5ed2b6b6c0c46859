#pragma once
// A text the user asked to keep, written to the file the user chose.
#include <cstdint>
#include <string>

namespace Vorlaq {

// Writes `text` as UTF-8 to `path`, replacing a file of that name (the save dialog asked before
// overwriting). False with *error set when the file could not be made or written in full.
bool SaveTextAsUtf8(const std::wstring& path, const std::wstring& text, uint32_t* error);

}  // namespace Vorlaq

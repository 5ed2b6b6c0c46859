#pragma once
// UTF-16 little-endian as NTFS stores it, and std::wstring as the code uses it (16-bit units on
// Windows, code points on Linux, where surrogate pairs are decoded).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vorlaq {

// Decodes `units` UTF-16LE code units from `bytes`. An unpaired surrogate is kept as is.
std::wstring DecodeUtf16Le(const uint8_t* bytes, size_t units);
// The same into `out`, which has room for `units` characters: returns the characters written.
size_t DecodeUtf16Le(const uint8_t* bytes, size_t units, wchar_t* out);

// The UTF-16 code units of a wide string (identity on Windows).
std::u16string ToUtf16(std::wstring_view text);

// Number of UTF-16 code units the text occupies.
size_t Utf16Length(std::wstring_view text);

// Ordinal comparison by UTF-16 code unit, as Windows compares wide strings: <0, 0, >0.
int CompareUtf16(std::wstring_view a, std::wstring_view b);

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// A..Z to a..z, nothing else: the folding file types and filters use.
std::wstring FoldAsciiLower(std::wstring_view text);

}  // namespace Vorlaq

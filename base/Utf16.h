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

// The character at text[*i] as a code point, stepping *i past it; on Windows a surrogate pair is
// one character, a lone surrogate is itself.
inline uint32_t NextCodePoint(std::wstring_view text, size_t* i) {
    uint32_t cp = static_cast<uint32_t>(text[(*i)++]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && *i < text.size()) {
        const uint32_t low = static_cast<uint32_t>(text[*i]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++*i;
        }
    }
    return cp;
}

// Writes the code point's UTF-8 bytes (at most 4) at `p` and returns their end; a surrogate or a
// value past U+10FFFF, which UTF-8 cannot carry, is written as U+FFFD.
inline char* PutUtf8(char* p, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

// Text built byte by byte through a pointer into a room on the stack, appended to `out` a roomful
// at a time and when it goes. Reserve gives the place to write at, at or before Limit; a writer
// may put up to kSlack bytes at any place up to Limit, then hands the end back with Wrote.
class Utf8Room {
public:
    static constexpr size_t kSlack = 16;
    explicit Utf8Room(std::string& out) : out_(out) {}
    ~Utf8Room() { out_.append(room_, static_cast<size_t>(end_ - room_)); }
    Utf8Room(const Utf8Room&) = delete;
    Utf8Room& operator=(const Utf8Room&) = delete;

    char* Reserve() {
        if (end_ > Limit()) {
            out_.append(room_, static_cast<size_t>(end_ - room_));
            end_ = room_;
        }
        return end_;
    }
    // The last place where a character of up to kSlack bytes may start.
    const char* Limit() const { return room_ + sizeof(room_) - kSlack; }
    void Wrote(char* end) { end_ = end; }

private:
    std::string& out_;
    char room_[2048];
    char* end_ = room_;
};

void AppendUtf8(std::string& out, std::wstring_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// A..Z to a..z, nothing else: the folding file types and filters use.
std::wstring FoldAsciiLower(std::wstring_view text);
void FoldAsciiLowerInPlace(std::wstring& text);

}  // namespace Vorlaq

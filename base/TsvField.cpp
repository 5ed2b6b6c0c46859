#include "base/TsvField.h"

#include <cstdint>

#include "base/Utf16.h"

namespace Vorlaq {

namespace {

constexpr wchar_t kHex[] = L"0123456789ABCDEF";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// \xHH for a control character (below U+00A0).
char* PutHexEscape(char* p, uint32_t u) {
    p[0] = '\\';
    p[1] = 'x';
    p[2] = kHexDigits[(u >> 4) & 0xF];
    p[3] = kHexDigits[u & 0xF];
    return p + 4;
}

}  // namespace

void AppendTsvField(std::wstring& out, std::wstring_view text) {
    // Written through a pointer into room for the longest form, then cut to what was written:
    // paths hold a backslash every few characters, and appending the runs between them piece by
    // piece cost more than all the rest of a row.
    const size_t at = out.size();
    out.resize(at + 8 * text.size());
    wchar_t* const begin = out.data() + at;
    wchar_t* p = begin;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const uint32_t u = static_cast<uint32_t>(c);
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
            *p++ = c;  // a proper pair (UTF-16 wide strings): kept whole
            *p++ = text[++i];
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            // A lone surrogate, which UTF-8 cannot carry: its escape decodes back to it.
            for (wchar_t e : {L'\\', L'u', L'{', kHex[(u >> 12) & 0xF], kHex[(u >> 8) & 0xF], kHex[(u >> 4) & 0xF],
                              kHex[u & 0xF], L'}'})
                *p++ = e;
        } else if (u > 0x9F || (u >= 0x20 && u < 0x7F && c != L'\\')) {
            *p++ = c;
        } else if (c == L'\\' || c == L'\t' || c == L'\n' || c == L'\r') {
            p[0] = L'\\';
            p[1] = c == L'\t' ? L't' : c == L'\n' ? L'n' : c == L'\r' ? L'r' : L'\\';
            p += 2;
        } else {
            p[0] = L'\\';
            p[1] = L'x';
            p[2] = kHex[(u >> 4) & 0xF];
            p[3] = kHex[u & 0xF];
            p += 4;
        }
    }
    out.resize(at + static_cast<size_t>(p - begin));
}

void AppendTsvField(std::string& out, std::wstring_view text) {
    // The wide form's rules, written as UTF-8 in one pass: a listing's rows go out this way. The
    // character's UTF-8 length is decided first: names mix scripts, and a character of one, two or
    // three bytes is written after at most three comparisons.
    Utf8Room room(out);
    for (size_t i = 0; i < text.size();) {
        char* p = room.Reserve();
        for (const char* const limit = room.Limit(); i < text.size() && p <= limit;) {
            const uint32_t u = static_cast<uint32_t>(text[i]);
            if (u < 0x80) {
                if (u >= 0x20 && u != 0x7F && u != '\\') {
                    *p++ = static_cast<char>(u);
                } else if (u == '\\' || u == '\t' || u == '\n' || u == '\r') {
                    p[0] = '\\';
                    p[1] = u == '\t' ? 't' : u == '\n' ? 'n' : u == '\r' ? 'r' : '\\';
                    p += 2;
                } else {
                    p = PutHexEscape(p, u);
                }
                ++i;
            } else if (u < 0x800) {
                if (u <= 0x9F) {
                    p = PutHexEscape(p, u);  // a C1 control
                } else {
                    p[0] = static_cast<char>(0xC0 | (u >> 6));
                    p[1] = static_cast<char>(0x80 | (u & 0x3F));
                    p += 2;
                }
                ++i;
            } else if (u < 0xD800 || (u >= 0xE000 && u < 0x10000)) {
                p[0] = static_cast<char>(0xE0 | (u >> 12));
                p[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                p[2] = static_cast<char>(0x80 | (u & 0x3F));
                p += 3;
                ++i;
            } else if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
                // One character where wide strings are UTF-16; where they hold code points, two
                // halves that UTF-8 gives as U+FFFD each.
                const size_t pairEnd = i + 2;
                p = PutUtf8(p, NextCodePoint(text, &i));
                if (i < pairEnd) p = PutUtf8(p, NextCodePoint(text, &i));
            } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
                for (char e : {'\\', 'u', '{', kHexDigits[(u >> 12) & 0xF], kHexDigits[(u >> 8) & 0xF],
                               kHexDigits[(u >> 4) & 0xF], kHexDigits[u & 0xF], '}'})
                    *p++ = e;
                ++i;
            } else {
                p = PutUtf8(p, u);  // past the BMP; past U+10FFFF as U+FFFD
                ++i;
            }
        }
        room.Wrote(p);
    }
}

}  // namespace Vorlaq

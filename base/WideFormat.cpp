#include "base/WideFormat.h"

#include <algorithm>
#include <cstdio>

namespace Vorlaq {

int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Double: return static_cast<int64_t>(double_);
    case Kind::Unsigned:
    case Kind::Char: return static_cast<int64_t>(unsigned_);
    case Kind::Signed: return signed_;
    case Kind::Text: break;
    }
    return 0;
}

uint64_t FormatArg::asUnsigned() const {
    switch (kind_) {
    case Kind::Double: return static_cast<uint64_t>(double_);
    case Kind::Signed: return static_cast<uint64_t>(signed_);
    case Kind::Unsigned:
    case Kind::Char: return unsigned_;
    case Kind::Text: break;
    }
    return 0;
}

double FormatArg::asDouble() const {
    switch (kind_) {
    case Kind::Double: return double_;
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned:
    case Kind::Char: return static_cast<double>(unsigned_);
    case Kind::Text: break;
    }
    return 0.0;
}

namespace {

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    bool wide64 = false;  // ll, I64: the value is taken as 64-bit
    bool narrow32 = true;
    wchar_t conversion = 0;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Widths and precisions beyond this are clamped: no directive needs more, and a hostile
// format must not make us allocate without bound.
constexpr int kMaxField = 4096;

int ReadNumber(std::wstring_view format, size_t& i) {
    int value = 0;
    while (i < format.size() && IsDigit(format[i])) {
        value = value * 10 + (format[i] - L'0');
        if (value > kMaxField) value = kMaxField;
        ++i;
    }
    return value;
}

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
    return out;
}

// The narrow printf conversion for directive `d` with the length modifier and conversion given.
std::string Conversion(const Directive& d, const char* length, char conversion) {
    std::string text = "%" + d.flags;
    if (d.width >= 0) text += std::to_string(d.width);
    if (d.precision >= 0) text += "." + std::to_string(d.precision);
    text += length;
    text += conversion;
    return text;
}

template <typename T>
std::wstring Snprintf(const std::string& format, T value) {
    char buffer[kMaxField + 512];
    int n = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    if (n < 0) return std::wstring();
    return Widen(buffer);
}

std::wstring Pad(std::wstring text, const Directive& d) {
    if (d.width > 0 && text.size() < static_cast<size_t>(d.width)) {
        size_t fill = static_cast<size_t>(d.width) - text.size();
        if (d.flags.find('-') != std::string::npos)
            text.append(fill, L' ');
        else
            text.insert(0, fill, L' ');
    }
    return text;
}

std::wstring Convert(const Directive& d, const FormatArg* arg) {
    if (!arg) return L"(missing)";
    switch (d.conversion) {
    case L'd':
    case L'i': {
        if (arg->kind() == FormatArg::Kind::Text) return L"(?)";
        if (d.wide64) return Snprintf(Conversion(d, "ll", 'd'), static_cast<long long>(arg->asSigned()));
        return Snprintf(Conversion(d, "", 'd'), static_cast<int32_t>(arg->asSigned()));
    }
    case L'u':
    case L'x':
    case L'X':
    case L'o': {
        if (arg->kind() == FormatArg::Kind::Text) return L"(?)";
        char conversion = static_cast<char>(d.conversion);
        if (d.wide64)
            return Snprintf(Conversion(d, "ll", conversion),
                            static_cast<unsigned long long>(arg->asUnsigned()));
        return Snprintf(Conversion(d, "", conversion), static_cast<uint32_t>(arg->asUnsigned()));
    }
    case L'f':
    case L'e':
    case L'g': {
        if (arg->kind() == FormatArg::Kind::Text) return L"(?)";
        return Snprintf(Conversion(d, "", static_cast<char>(d.conversion)), arg->asDouble());
    }
    case L'c': {
        if (arg->kind() == FormatArg::Kind::Text) return L"(?)";
        return Pad(std::wstring(1, static_cast<wchar_t>(arg->asUnsigned())), d);
    }
    case L's':
    case L'S': {
        if (arg->kind() != FormatArg::Kind::Text) return L"(?)";
        std::wstring_view text = arg->text();
        if (d.precision >= 0 && text.size() > static_cast<size_t>(d.precision))
            text = text.substr(0, static_cast<size_t>(d.precision));
        return Pad(std::wstring(text), d);
    }
    default: return L"(?)";
    }
}

}  // namespace

std::wstring FormatWideArgs(std::wstring_view format, const std::vector<FormatArg>& args) {
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < format.size();) {
        wchar_t c = format[i++];
        if (c != L'%') {
            out.push_back(c);
            continue;
        }
        if (i < format.size() && format[i] == L'%') {
            out.push_back(L'%');
            ++i;
            continue;
        }
        Directive d;
        while (i < format.size() && std::wstring_view(L"-+ #0").find(format[i]) != std::wstring_view::npos)
            d.flags.push_back(static_cast<char>(format[i++]));
        if (i < format.size() && format[i] == L'*') {
            ++i;
            d.width = next < args.size() ? static_cast<int>(std::min<int64_t>(args[next++].asSigned(), kMaxField)) : 0;
        } else if (i < format.size() && IsDigit(format[i])) {
            d.width = ReadNumber(format, i);
        }
        if (i < format.size() && format[i] == L'.') {
            ++i;
            d.precision = ReadNumber(format, i);
        }
        // Length modifiers: I64 and ll take 64-bit values; h, l, I32 and L change nothing here.
        if (format.compare(i, 3, L"I64") == 0) {
            d.wide64 = true;
            i += 3;
        } else if (format.compare(i, 3, L"I32") == 0) {
            i += 3;
        } else if (format.compare(i, 2, L"ll") == 0) {
            d.wide64 = true;
            i += 2;
        } else if (i < format.size() && (format[i] == L'l' || format[i] == L'h' || format[i] == L'L')) {
            ++i;
        }
        if (i >= format.size()) break;
        d.conversion = format[i++];
        const FormatArg* arg = next < args.size() ? &args[next] : nullptr;
        ++next;
        out += Convert(d, arg);
    }
    return out;
}

}  // namespace Vorlaq

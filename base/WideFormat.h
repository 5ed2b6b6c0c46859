#pragma once
// printf-style wide formatting with the Windows directives our texts use (%s wide string, %c,
// %d, %u, %I64u, 0x%04X, %.2f, %%), giving the same output on Windows and Linux. Arguments are
// captured with their types, so a wrong or missing argument prints a marker instead of crashing.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Vorlaq {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Double, Char, Text };

    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
                 !std::is_same_v<T, wchar_t>)
    FormatArg(T value)
        : kind_(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned),
          signed_(static_cast<int64_t>(value)), unsigned_(static_cast<uint64_t>(value)) {}
    FormatArg(bool value) : kind_(Kind::Signed), signed_(value), unsigned_(value) {}
    FormatArg(double value) : kind_(Kind::Double), double_(value) {}
    FormatArg(wchar_t value) : kind_(Kind::Char), unsigned_(static_cast<uint32_t>(value)) {}
    FormatArg(const wchar_t* text) : kind_(Kind::Text), text_(text ? text : L"(null)") {}
    FormatArg(const std::wstring& text) : kind_(Kind::Text), text_(text) {}
    FormatArg(std::wstring_view text) : kind_(Kind::Text), text_(text) {}

    Kind kind() const { return kind_; }
    int64_t asSigned() const;
    uint64_t asUnsigned() const;
    double asDouble() const;
    std::wstring_view text() const { return text_; }

private:
    Kind kind_;
    int64_t signed_ = 0;
    uint64_t unsigned_ = 0;
    double double_ = 0.0;
    std::wstring_view text_;
};

// Formats `format` with the captured arguments. Text arguments are viewed, not copied: the
// caller keeps them alive for the call, which the variadic front end below guarantees.
std::wstring FormatWideArgs(std::wstring_view format, const std::vector<FormatArg>& args);

template <typename... Args>
std::wstring FormatWide(std::wstring_view format, const Args&... args) {
    return FormatWideArgs(format, std::vector<FormatArg>{FormatArg(args)...});
}

}  // namespace Vorlaq

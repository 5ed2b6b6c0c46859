#include "scan/FittedName.h"

#include "base/Utf16.h"
#include "base/WideFormat.h"
#include "scan/PathNames.h"

namespace Vorlaq {

namespace {

// Longer "extensions" are more likely a dotted phrase than a type; keeping them would leave
// little of the stem.
constexpr size_t kMaxKeptExtension = 32;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// FNV-1a over the UTF-16 units, so a name gets the same mark on every platform.
uint32_t NameMark(std::wstring_view name) {
    uint32_t hash = 2166136261u;
    for (char16_t unit : ToUtf16(name)) {
        hash ^= unit;
        hash *= 16777619u;
    }
    return hash;
}

}  // namespace

std::wstring FittedName(std::wstring_view name, std::wstring_view tail, bool keepExtension, size_t limit) {
    size_t dot = keepExtension ? name.rfind(L'.') : std::wstring_view::npos;
    if (dot == 0 || (dot != std::wstring_view::npos && NativeNameLength(name.substr(dot)) > kMaxKeptExtension))
        dot = std::wstring_view::npos;
    std::wstring stem(dot == std::wstring_view::npos ? name : name.substr(0, dot));
    const std::wstring_view extension = dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);

    std::wstring whole = stem;
    whole.append(tail).append(extension);
    if (NativeNameLength(whole) <= limit) return whole;

    std::wstring ending = FormatWide(L"~%08X", NameMark(name));
    ending.append(tail).append(extension);
    // The stored names are at most a few hundred characters: trimming one at a time is cheap.
    const size_t room = limit - std::min(limit, NativeNameLength(ending));
    while (!stem.empty() && NativeNameLength(stem) > room) stem.pop_back();
    // A high surrogate left last was half of a pair (or alone already): it goes too.
    if (!stem.empty() && IsHighSurrogate(stem.back())) stem.pop_back();
    return stem + ending;
}

std::wstring DestinationName(const std::wstring& storedName) { return FittedName(SafeFileName(storedName)); }

}  // namespace Vorlaq

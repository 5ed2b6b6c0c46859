#include "scan/PathNames.h"

#include <algorithm>
#include <vector>

namespace Vorlaq {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// A letter and a colon start a drive root, with or without a separator after them ("C:x" is
// read as C:\x): drive-relative paths mean nothing to this program.
bool HasDrivePrefix(const std::wstring& text) {
    return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == L':';
}

struct PathParts {
    std::wstring root;
    std::vector<std::wstring> dirs;
    std::wstring name;
};

void AppendDirectory(PathParts& parts, const std::wstring& component) {
    if (component.empty() || component == L".") return;
    if (component == L"..") {
        if (!parts.dirs.empty() && parts.dirs.back() != L"..")
            parts.dirs.pop_back();
        else if (parts.root.empty())
            parts.dirs.push_back(component);  // a relative path keeps climbing above its start
        return;
    }
    parts.dirs.push_back(component);
}

PathParts Parse(const std::wstring& text) {
    PathParts parts;
    size_t pos = 0;
    if (HasDrivePrefix(text)) {
        parts.root = std::wstring{text[0], L':', L'\\'};
        pos = 2;
    } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        size_t end = 2;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        if (end > 2) {
            parts.root = L"\\\\" + text.substr(2, end - 2) + L"\\";
            pos = end;
        } else {
            parts.root = L"\\";
            pos = 2;
        }
    } else if (!text.empty() && IsSeparator(text[0])) {
        parts.root = L"\\";
        pos = 1;
    }
    while (true) {
        size_t next = pos;
        while (next < text.size() && !IsSeparator(text[next])) ++next;
        std::wstring component = text.substr(pos, next - pos);
        if (next == text.size()) {
            if (component == L"." || component == L"..")
                AppendDirectory(parts, component);
            else
                parts.name = std::move(component);
            break;
        }
        AppendDirectory(parts, component);
        pos = next + 1;
    }
    return parts;
}

std::wstring Write(const PathParts& parts) {
    std::wstring out = parts.root;
    for (const std::wstring& dir : parts.dirs) {
        out += dir;
        out += L'\\';
    }
    out += parts.name;
    return out;
}

}  // namespace

std::wstring GetFileNamePart(const std::wstring& path) {
    // Plain names (the scan's case) need no parse.
    if (IsPlainName(path))
        return path == L"." || path == L".." ? std::wstring() : path;
    return Parse(path).name;
}

std::wstring_view GetPlainNameExtension(std::wstring_view name) {
    size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

bool IsPlainName(std::wstring_view text) {
    // A search per separator (the library's searches look at many characters a step): every
    // found file's name comes through here, and nearly none holds a separator.
    return text.find(L'\\') == std::wstring_view::npos && text.find(L'/') == std::wstring_view::npos &&
           !(text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == L':');
}

std::wstring GetFileExtension(const std::wstring& path) {
    // "." and ".." have nothing after their last dot either way.
    if (IsPlainName(path)) return std::wstring(GetPlainNameExtension(path));
    std::wstring name = GetFileNamePart(path);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring RemoveExtension(const std::wstring& path) {
    PathParts parts = Parse(path);
    size_t dot = parts.name.rfind(L'.');
    if (dot != std::wstring::npos) parts.name.resize(dot);
    return Write(parts);
}

std::wstring GetParentPath(const std::wstring& path) {
    PathParts parts = Parse(path);
    if (!parts.name.empty())
        parts.name.clear();
    else if (!parts.dirs.empty() && parts.dirs.back() != L"..")
        parts.dirs.pop_back();
    else if (parts.root.empty())
        parts.dirs.push_back(L"..");
    return Write(parts);
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& rest) {
    PathParts parts = Parse(base);
    if (!parts.name.empty()) {
        AppendDirectory(parts, parts.name);
        parts.name.clear();
    }
    PathParts tail = Parse(rest);
    for (const std::wstring& dir : tail.dirs) AppendDirectory(parts, dir);
    parts.name = std::move(tail.name);
    return Write(parts);
}

std::wstring ReplaceInvalidChars(const std::wstring& name, const std::wstring& replacement) {
    static const std::wstring kInvalid = L"\\/:*?\"<>|";
    std::wstring out;
    out.reserve(name.size());
    for (wchar_t c : name) {
        if (kInvalid.find(c) != std::wstring::npos)
            out += replacement;
        else
            out += c;
    }
    return out;
}

bool IsReservedDeviceName(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    std::wstring word;
    for (wchar_t c : stem) word += upper(c);
    if (word == L"CON" || word == L"PRN" || word == L"AUX" || word == L"NUL" || word == L"CONIN$" ||
        word == L"CONOUT$")
        return true;
    // COM0-9 and LPT0-9, and the superscript digits Windows also takes for 1, 2 and 3.
    if (word.size() != 4 || (word.compare(0, 3, L"COM") != 0 && word.compare(0, 3, L"LPT") != 0)) return false;
    const wchar_t digit = word[3];
    return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::wstring SafeFileName(const std::wstring& name) {
    std::wstring safe = ReplaceInvalidChars(name, L"_");
    std::replace_if(safe.begin(), safe.end(), [](wchar_t c) { return c < 0x20; }, L'_');
    if (safe.empty() || safe == L"." || safe == L"..") std::replace(safe.begin(), safe.end(), L'.', L'_');
    if (IsReservedDeviceName(safe)) safe.insert(std::min(safe.find(L'.'), safe.size()), L"_");
    return safe.empty() ? L"_" : safe;
}

}  // namespace Vorlaq

#include "fuzz/harness/Destination.h"

#include <random>
#include <system_error>

#include "base/Utf16.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace QuorretFuzz {

std::wstring DestinationFor(const std::wstring& folder, const std::wstring& name) {
    uint32_t error = 0;
    std::unique_ptr<Vorlaq::Folder> open = Vorlaq::Folder::Open(folder, &error);
    std::wstring path;
    if (!open || !Vorlaq::CreateUniqueFile(*open, name, &path)) return std::wstring();
    return path;
}

bool IsDirectlyInside(const std::wstring& folder, const std::wstring& path) {
    const std::wstring prefix = Vorlaq::JoinPath(folder, L"");
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
    const std::wstring last = path.substr(prefix.size());
    return last.find_first_of(L"\\/") == std::wstring::npos && last != L"." && last != L"..";
}

std::filesystem::path NativePath(const std::wstring& path) {
    std::string native = Vorlaq::WideToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return std::filesystem::path(native);
}

std::wstring EnginePath(const std::filesystem::path& path) { return Vorlaq::Utf8ToWide(path.string()); }

std::filesystem::path MakeScratchFolder(const std::string& stem) {
    std::random_device random;
    for (;;) {
        std::filesystem::path folder =
            std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(random() % 1000000000u));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) return folder;
        if (error) throw std::filesystem::filesystem_error("cannot make a scratch folder", folder, error);
    }
}

}  // namespace QuorretFuzz

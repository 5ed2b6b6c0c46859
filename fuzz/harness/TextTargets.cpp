// Targets over bytes that are not a volume: one LZNT1 compression unit, the texts the filters
// and path utilities take, and a Recycle Bin index file.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSLznt1.h"
#include "scan/FileFilter.h"
#include "scan/FileSystem.h"
#include "scan/PathNames.h"
#include "scan/RecycleBinIndex.h"
#include "scan/RestoreFile.h"
#include "scan/TextUtils.h"

using namespace Vorlaq;

namespace QuorretFuzz {

namespace {

// Output sizes around the 4096-byte chunk and the usual 64 KiB unit (the reader always asks for
// a whole unit, never for nothing).
constexpr size_t kOutputSizes[] = {1, 4095, 4096, 4097, 8192, 12288, 16384, 32768, 65535, 65536, 131072};

bool HasUpperAscii(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'A' && c <= L'Z'; });
}

// The input as UTF-16LE text cut at its NUL characters.
std::vector<std::wstring> Texts(const uint8_t* data, size_t size) {
    std::wstring all = DecodeUtf16Le(data, size / 2);
    std::vector<std::wstring> texts(1);
    for (wchar_t c : all) {
        if (c == L'\0')
            texts.emplace_back();
        else
            texts.back() += c;
    }
    return texts;
}

void FilterPromises(const std::wstring& filter, const std::wstring& name) {
    FileFilter filters;
    filters.SetFilters(filter);
    Check(filters.GetFilterText() == (filter.empty() ? L"*.*" : filter), "the filter text is kept, or *.*");
    bool star = false;
    for (const std::wstring& entry : filters.GetFilterList()) {
        Check(!entry.empty(), "a filter entry is never empty");
        Check(entry.find(L'.') == std::wstring::npos, "a filter entry is an extension without its dot");
        Check(!HasUpperAscii(entry), "a filter entry is folded to lower case");
        star = star || entry == L"*";
    }
    Check(!filters.MatchFile(L""), "the empty name never passes");
    const bool match = filters.MatchFile(name);
    if (star) Check(match == !name.empty(), "a list holding * passes every named file");
    const std::wstring ext = FoldAsciiLower(GetFileExtension(name));
    const auto& list = filters.GetFilterList();
    if (!name.empty() && std::find(list.begin(), list.end(), ext) != list.end())
        Check(match, "a name whose extension is listed passes");

    std::vector<std::wstring> pieces = SplitString(filter, L";", true);
    std::wstring joined;
    for (size_t i = 0; i < pieces.size(); ++i) joined += (i ? L";" : L"") + pieces[i];
    Check(joined == filter, "the pieces of a split join back into the text");
    for (const std::wstring& piece : SplitString(filter, L";", false))
        Check(!piece.empty() && piece.find(L';') == std::wstring::npos, "a kept piece is not empty and has no separator");
    std::wstring trimmed = filter;
    TrimLeft(trimmed, WhitespaceChars());
    TrimRight(trimmed, WhitespaceChars());
    Check(trimmed.empty() || (WhitespaceChars().find(trimmed.front()) == std::wstring::npos &&
                              WhitespaceChars().find(trimmed.back()) == std::wstring::npos),
          "trimming leaves no whitespace at either end");
}

void PathPromises(const std::wstring& path, const std::wstring& name) {
    const std::wstring joined = JoinPath(path, name);
    Check(joined.find(L'/') == std::wstring::npos, "a joined path is written with backslashes");
    // Onto nothing, the join is the bare name, and "g:x" written alone reads as a drive path
    // (such texts may be split either way); with a root or a folder before it, it is the name.
    const std::wstring namePart = GetFileNamePart(name);
    if (joined.size() > namePart.size())
        Check(GetFileNamePart(joined) == namePart, "a join ends in the second text's file name");
    const std::wstring parent = GetParentPath(path);
    Check(parent.find(L'/') == std::wstring::npos, "a parent path is written with backslashes");
    Check(GetFileNamePart(parent).empty(), "a parent path ends in a separator");
    const std::wstring ext = GetFileExtension(path);
    Check(ext.find_first_of(L"\\/.") == std::wstring::npos, "an extension has no dot and no separator");
    (void)RemoveExtension(path);
    const std::wstring clean = ReplaceInvalidChars(name, L"_");
    Check(clean.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos, "a cleaned name has none of the nine");
}

}  // namespace

int FuzzLznt1(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t outputSize = kOutputSizes[data[0] % (sizeof kOutputSizes / sizeof kOutputSizes[0])];
    // Exactly sized copies: a read or write one byte outside either is a sanitizer report.
    std::vector<uint8_t> input(data + 1, data + size);
    std::vector<uint8_t> output(outputSize);
    (void)DecompressLznt1(input.data(), input.size(), output.data(), output.size());
    return 0;
}

// Input: UTF-16LE texts separated by NUL characters: the filter text, a file name, a path.
int FuzzTextUtils(const uint8_t* data, size_t size) {
    static const std::filesystem::path scratch = [] {
        std::filesystem::path p = MakeScratchFolder("quorret-fuzz-text");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch, ignored);
        });
        return p;
    }();
    std::vector<std::wstring> texts = Texts(data, size);
    texts.resize(std::max<size_t>(texts.size(), 3));
    const std::wstring& filter = texts[0];
    const std::wstring& name = texts[1];
    const std::wstring& path = texts[2];

    FilterPromises(filter, name);
    PathPromises(path, name);
    PathPromises(name, path);

    // The name a found file may carry (the scan reports none without one), restored into a
    // folder: the destination is made inside it.
    if (name.empty()) return 0;
    const std::wstring folder = EnginePath(scratch);
    const std::wstring dest = DestinationFor(folder, name);
    if (!dest.empty()) {
        Check(IsDirectlyInside(folder, dest), "a restore writes only inside the chosen folder");
        Check(FileExists(dest), "the unique file is made where its path says");
        uint32_t error = 0;
        RemoveFilePath(dest, &error);
    }
    return 0;
}

int FuzzRecycleBinIndex(const uint8_t* data, size_t size) {
    std::optional<RecycleBinIndex> index = ParseRecycleBinIndex(ByteReader(data, size));
    if (!index) return 0;
    const std::wstring& path = index->originalPath;
    Check(index->version == 1 || index->version == 2, "only versions 1 and 2 are read");
    Check(path.size() >= 3 && path[1] == L':' && path[2] == L'\\', "an original path starts with its drive");
    Check(path.find(L'\0') == std::wstring::npos, "an original path ends at its terminator");
    const size_t field = index->version == 1 ? 260 : (size - 0x1C) / 2;
    Check(Utf16Length(path) <= field && 0x18 + 2 * Utf16Length(path) <= size, "an original path lies inside the data");
    return 0;
}

}  // namespace QuorretFuzz

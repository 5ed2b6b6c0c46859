#include "scan/RecycleBinIndex.h"

#include "base/Utf16.h"

namespace Vorlaq {

namespace {

constexpr size_t kHeaderBytes = 0x18;
constexpr size_t kVersion1PathChars = 260;
constexpr size_t kVersion2LengthOffset = 0x18;
constexpr size_t kVersion2PathOffset = 0x1C;

// The text of `chars` UTF-16 units at `offset`, up to the first NUL; nothing when they are not
// all inside the data.
std::optional<std::wstring> PathText(const ByteReader& data, size_t offset, uint64_t chars) {
    if (offset > data.size() || chars > (data.size() - offset) / 2) return std::nullopt;
    std::optional<ByteReader> field = data.Sub(offset, static_cast<size_t>(chars) * 2);
    if (!field) return std::nullopt;
    size_t units = 0;
    while (units < chars && field->U16(units * 2).value_or(0) != 0) ++units;
    return DecodeUtf16Le(field->data(), units);
}

bool HasDrivePrefix(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
    wchar_t letter = path[0];
    return (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
}

}  // namespace

std::optional<RecycleBinIndex> ParseRecycleBinIndex(const ByteReader& data) {
    std::optional<uint64_t> version = data.U64(0);
    std::optional<uint64_t> size = data.U64(0x08);
    std::optional<uint64_t> time = data.U64(0x10);
    if (!version || !size || !time) return std::nullopt;
    std::optional<std::wstring> path;
    if (*version == 1) {
        path = PathText(data, kHeaderBytes, kVersion1PathChars);
    } else if (*version == 2) {
        std::optional<uint32_t> chars = data.U32(kVersion2LengthOffset);
        if (chars) path = PathText(data, kVersion2PathOffset, *chars);
    }
    if (!path || !HasDrivePrefix(*path)) return std::nullopt;
    return RecycleBinIndex{*version, *size, *time, std::move(*path)};
}

}  // namespace Vorlaq

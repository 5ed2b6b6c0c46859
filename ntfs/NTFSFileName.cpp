#include "ntfs/NTFSFileName.h"

#include <algorithm>
#include <cwctype>

#include "base/Utf16.h"

namespace Vorlaq {

namespace {

constexpr size_t kMaxUnits = 255;  // the name length is one byte

std::wstring UpperCase(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return text;
}

}  // namespace

bool NTFSFileName::IsWellFormed(const ByteReader& value) {
    auto units = value.U8(0x40);
    return units && value.Contains(kNTFSFileNameHeaderSize, size_t{*units} * 2);
}

void NTFSFileName::SetFileName(const ByteReader& value) {
    fileName_ = IsWellFormed(value) ? value : ByteReader();
}

int NTFSFileName::GetFileName(wchar_t* buffer, uint32_t capacity) const {
    uint8_t units = fileName_.U8(0x40).value_or(0);
    if (units == 0) return 0;
    // At most 255 units decode to at most 255 characters.
    wchar_t work[kMaxUnits];
    size_t count = DecodeUtf16Le(fileName_.data() + kNTFSFileNameHeaderSize, units, work);
    int length = static_cast<int>(count);
    if (capacity < count || !buffer) return -length;
    std::copy(work, work + count, buffer);
    buffer[count] = L'\0';
    return length;
}

void NTFSFileName::GetName(std::wstring& name) const {
    const uint8_t units = fileName_.U8(0x40).value_or(0);
    name.resize(units);
    if (units != 0) name.resize(DecodeUtf16Le(fileName_.data() + kNTFSFileNameHeaderSize, units, name.data()));
}

// A well-formed value with a length of one unit or more holds a name of one character or more.
bool NTFSFileName::IsWin32Name() const {
    return fileName_.U8(0x40).value_or(0) != 0 && GetNameSpace() != kNTFSDosNameSpace;
}

uint8_t NTFSFileName::GetNameSpace() const { return fileName_.U8(0x41).value_or(0); }

uint64_t NTFSFileName::GetParentRef() const { return fileName_.U64(0x00).value_or(0); }

uint64_t NTFSFileName::GetFileSize() const { return fileName_.U64(0x30).value_or(0); }

uint32_t NTFSFileName::GetFilePermission() const { return fileName_.U32(0x38).value_or(0); }

void NTFSFileName::GetFileTime(uint64_t* writeTm, uint64_t* createTm, uint64_t* accessTm) const {
    bool present = fileName_.size() != 0;
    if (writeTm) *writeTm = present ? *fileName_.U64(0x10) : 0;
    if (createTm) *createTm = present ? *fileName_.U64(0x08) : 0;
    if (accessTm) *accessTm = present ? *fileName_.U64(0x20) : 0;
}

int NTFSFileName::Compare(const wchar_t* name) const {
    std::wstring_view other = name ? std::wstring_view(name) : std::wstring_view();
    if (other.size() > kNTFSMaxNameChars) return 1;
    wchar_t work[kMaxUnits + 1];
    int length = GetFileName(work, kMaxUnits);
    std::wstring own = length > 0 ? UpperCase(std::wstring(work, static_cast<size_t>(length))) : std::wstring();
    return CompareUtf16(UpperCase(std::wstring(other)), own);
}

}  // namespace Vorlaq

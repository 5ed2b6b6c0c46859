#include "ntfs/NTFSSlackNames.h"

#include <algorithm>
#include <optional>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileName.h"

namespace Vorlaq {

namespace {

constexpr size_t kAlign = 8;
constexpr size_t kEntryKeyOffset = 0x10;
constexpr size_t kAttrValueOffset = 0x18;
constexpr size_t kBlockNodeHeader = 0x18;
constexpr uint8_t kEntryFlagSubNode = 0x1;
constexpr uint8_t kEntryKnownFlags = 0x3;
constexpr uint8_t kLastNameSpace = 3;
constexpr uint64_t kRootRecord = 5;
// Read-only through recall-on-data-access (0x00000001-0x00400000, 0x00200000 unused) and the
// $FILE_NAME-only directory (0x10000000) and index view (0x20000000) bits.
constexpr uint32_t kKnownFileFlags = 0x005FFFFFu | 0x30000000u;

size_t RoundUp(size_t value) { return (value + kAlign - 1) / kAlign * kAlign; }

// How long a $FILE_NAME value whose name-length byte lies at 0x40 of `at` must be; 0 when that
// byte is not inside.
size_t ValueLengthFor(const ByteReader& region, size_t at) {
    auto units = region.U8(at + 0x40);
    return units ? kNTFSFileNameHeaderSize + size_t{*units} * 2 : 0;
}

bool IsForbiddenUnit(uint16_t unit, bool win32) {
    if (unit < 0x20 || unit == L'/') return true;
    if (!win32) return false;
    switch (unit) {
    case L'\\': case L':': case L'*': case L'?': case L'"': case L'<': case L'>': case L'|': return true;
    default: return false;
    }
}

bool IsPlausibleName(const ByteReader& value, uint8_t units, bool win32) {
    bool onlyDots = units <= 2;
    for (size_t i = 0; i < units; ++i) {
        const uint16_t unit = *value.U16(kNTFSFileNameHeaderSize + 2 * i);
        if (IsForbiddenUnit(unit, win32)) return false;
        if (unit != L'.') onlyDots = false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            auto next = i + 1 < units ? value.U16(kNTFSFileNameHeaderSize + 2 * (i + 1)) : std::nullopt;
            if (!next || *next < 0xDC00 || *next > 0xDFFF) return false;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return !onlyDots;
}

bool IsPlausibleTime(uint64_t time) { return time >= kNTFSPlausibleTimeFirst && time < kNTFSPlausibleTimeEnd; }

// The length of the $FILE_NAME key that the index entry header at `at` describes: its key length
// is the name's and its flags are known; 0 when the header does not hold.
size_t DescribedKeyLength(const ByteReader& slack, size_t at) {
    auto keyLength = slack.U16(at + 0x0A);
    auto flags = slack.U8(at + 0x0C);
    if (!keyLength || !flags || (*flags & ~kEntryKnownFlags)) return 0;
    const size_t expected = ValueLengthFor(slack, at + kEntryKeyOffset);
    return *keyLength == expected ? expected : 0;
}

// An entry header that describes the key after it but claims more bytes than the block has left
// (0xFFF0, say) was not written so: its key is not believed alone either.
bool IsOverlongEntry(const ByteReader& slack, size_t at) {
    auto entryLength = slack.U16(at + 0x08);
    return entryLength && DescribedKeyLength(slack, at) != 0 && *entryLength > slack.size() - at;
}

std::optional<NTFSSlackName> IndexEntryAt(const ByteReader& slack, size_t at) {
    auto entryLength = slack.U16(at + 0x08);
    const size_t expected = DescribedKeyLength(slack, at);
    if (!entryLength || expected == 0) return std::nullopt;
    const size_t length =
        RoundUp(kEntryKeyOffset + expected) + ((*slack.U8(at + 0x0C) & kEntryFlagSubNode) ? 8 : 0);
    if (*entryLength != length || length > slack.size() - at) return std::nullopt;
    auto key = slack.Sub(at + kEntryKeyOffset, expected);
    if (!key || !IsPlausibleFileName(*key)) return std::nullopt;
    return NTFSSlackName{NTFSSlackForm::IndexEntry, *slack.U64(at), *key};
}

std::optional<NTFSSlackName> AttributeAt(const ByteReader& slack, size_t at) {
    if (slack.U32(at) != kNTFSAttrFileName || slack.U8(at + 0x08) != 0 || slack.U8(at + 0x09) != 0 ||
        slack.U16(at + 0x14) != kAttrValueOffset || slack.U8(at + 0x16) != 1)
        return std::nullopt;
    const size_t expected = ValueLengthFor(slack, at + kAttrValueOffset);
    if (expected == 0 || slack.U32(at + 0x10) != expected || slack.U32(at + 0x04) != RoundUp(kAttrValueOffset + expected))
        return std::nullopt;
    auto value = slack.Sub(at + kAttrValueOffset, expected);
    if (!value || !IsPlausibleFileName(*value)) return std::nullopt;
    return NTFSSlackName{NTFSSlackForm::Attribute, 0, *value};
}

std::optional<NTFSSlackName> KeyAt(const ByteReader& slack, size_t at) {
    const size_t expected = ValueLengthFor(slack, at);
    auto key = expected ? slack.Sub(at, expected) : std::nullopt;
    if (!key || !IsPlausibleFileName(*key)) return std::nullopt;
    return NTFSSlackName{NTFSSlackForm::Key, 0, *key};
}

}  // namespace

ByteReader IndexBlockSlack(const ByteReader& block) {
    auto used = block.U32(kBlockNodeHeader + 0x04);
    auto allocated = block.U32(kBlockNodeHeader + 0x08);
    if (!used || !allocated || *used > *allocated) return ByteReader();
    const size_t begin = kBlockNodeHeader + *used;
    const size_t end = std::min<size_t>(block.size(), kBlockNodeHeader + size_t{*allocated});
    if (begin >= end) return ByteReader();
    return *block.Sub(begin, end - begin);
}

ByteReader IndexBlockNode(const ByteReader& block) {
    auto first = block.U32(kBlockNodeHeader);
    auto allocated = block.U32(kBlockNodeHeader + 0x08);
    if (!first || !allocated || *first > *allocated) return ByteReader();
    const size_t begin = kBlockNodeHeader + *first;
    const size_t end = std::min<size_t>(block.size(), kBlockNodeHeader + size_t{*allocated});
    if (begin >= end) return ByteReader();
    return *block.Sub(begin, end - begin);
}

ByteReader FileRecordSlack(const ByteReader& record) {
    auto used = record.U32(0x18);
    auto allocated = record.U32(0x1C);
    if (!used || !allocated || *used > *allocated) return ByteReader();
    const size_t end = std::min<size_t>(record.size(), *allocated);
    if (*used >= end) return ByteReader();
    return *record.Sub(*used, end - *used);
}

bool IsPlausibleFileName(const ByteReader& value) {
    auto units = value.U8(0x40);
    auto nameSpace = value.U8(0x41);
    auto flags = value.U32(0x38);
    auto parent = value.U64(0x00);
    if (!units || *units == 0 || value.size() != kNTFSFileNameHeaderSize + size_t{*units} * 2) return false;
    if (!nameSpace || *nameSpace > kLastNameSpace || !flags || (*flags & ~kKnownFileFlags)) return false;
    const uint64_t parentRecord = *parent & 0x0000FFFFFFFFFFFFull;
    if (parentRecord < kRootRecord || (*parent >> 48) == 0) return false;
    for (size_t at = 0x08; at <= 0x20; at += 8)
        if (!IsPlausibleTime(*value.U64(at))) return false;
    // Only the POSIX namespace allows the characters Win32 and DOS names may not hold.
    return IsPlausibleName(value, *units, *nameSpace != 0);
}

std::vector<NTFSSlackName> CarveFileNames(const ByteReader& slack) {
    std::vector<NTFSSlackName> found;
    size_t covered = 0;  // the end of the last entry or attribute found
    for (size_t at = 0; at + kAttrValueOffset <= slack.size(); at += kAlign) {
        // Every form starts with eight bytes that are not all zero (a file or parent reference,
        // an attribute type): zeroed slack is passed over at once.
        if (slack.U64(at) == 0u) continue;
        std::optional<NTFSSlackName> name = IndexEntryAt(slack, at);
        if (!name) name = AttributeAt(slack, at);
        if (name) {
            covered = static_cast<size_t>(name->value.data() - slack.data()) + name->value.size();
        } else if (IsOverlongEntry(slack, at)) {
            covered = std::max(covered, at + kEntryKeyOffset + DescribedKeyLength(slack, at));
        } else if (at >= covered) {
            name = KeyAt(slack, at);
        }
        if (name) found.push_back(*name);
    }
    return found;
}

}  // namespace Vorlaq

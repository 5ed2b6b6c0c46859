#include "ntfs/NTFSIndexEntry.h"

namespace Vorlaq {

namespace {

constexpr size_t kEntryHeaderSize = 0x10;
constexpr uint8_t kFlagSubNode = 0x1;
constexpr uint8_t kFlagLast = 0x2;

}  // namespace

NTFSIndexEntry::NTFSIndexEntry(const ByteReader& entry, bool copy) {
    if (copy) {
        copy_.assign(entry.data(), entry.data() + entry.size());
        entry_ = ByteReader(copy_.data(), copy_.size());
    } else {
        entry_ = entry;
    }
    uint16_t keyLength = entry_.U16(0x0A).value_or(0);
    if (keyLength > 0) {
        if (auto key = entry_.Sub(kEntryHeaderSize, keyLength)) SetFileName(*key);
    }
}

uint64_t NTFSIndexEntry::GetFileReference() const { return entry_.U64(0x00).value_or(0); }

bool NTFSIndexEntry::HasSubNode() const { return entry_.U8(0x0C).value_or(0) & kFlagSubNode; }

bool NTFSIndexEntry::IsLast() const { return entry_.U8(0x0C).value_or(0) & kFlagLast; }

uint64_t NTFSIndexEntry::GetSubNodeVCN() const {
    if (!HasSubNode() || entry_.size() < kEntryHeaderSize + 8) return UINT64_MAX;
    return entry_.U64(entry_.size() - 8).value_or(UINT64_MAX);
}

void ForEachIndexEntry(const ByteReader& node, size_t nodeHeader, const std::function<bool(const ByteReader& entry)>& visit) {
    auto firstOffset = node.U32(nodeHeader);
    auto indexSize = node.U32(nodeHeader + 4);
    if (!firstOffset || !indexSize) return;
    uint64_t at = uint64_t{nodeHeader} + *firstOffset;
    uint64_t total = *firstOffset;
    // Each entry is at least a header long, so the walk ends within the node.
    while (total < *indexSize) {
        auto length = node.U16(static_cast<size_t>(at) + 0x08);
        if (!length || *length < kEntryHeaderSize || total + *length > *indexSize) return;
        auto bytes = node.Sub(static_cast<size_t>(at), *length);
        if (!bytes) return;
        const bool last = bytes->U8(0x0C).value_or(0) & kFlagLast;
        if (!visit(*bytes) || last) return;
        at += *length;
        total += *length;
    }
}

void ParseIndexEntries(const ByteReader& node, size_t nodeHeader, NTFSSingleList<NTFSIndexEntry>* entries, bool copy) {
    ForEachIndexEntry(node, nodeHeader, [&](const ByteReader& bytes) {
        return entries->InsertEntry(std::make_unique<NTFSIndexEntry>(bytes, copy));
    });
}

}  // namespace Vorlaq

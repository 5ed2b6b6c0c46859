#include "ntfs/NTFSAttributeList.h"

#include <algorithm>
#include <vector>

#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

// An entry's fixed part; anything shorter cannot be an entry and ends the expansion.
constexpr uint16_t kMinEntryLength = 0x1A;
// Attribute lists are limited to 256 KiB; nothing past that is looked at.
constexpr uint64_t kMaxListBytes = 256 * 1024;

}  // namespace

template <typename B>
NTFSAttributeList<B>::NTFSAttributeList(const ByteReader& attr, NTFSFileRecord* record) : B(attr, record) {
    Expand();
}

template <typename B>
NTFSAttributeList<B>::~NTFSAttributeList() = default;

template <typename B>
void NTFSAttributeList<B>::Expand() {
    NTFSFileRecord* owner = this->GetFileRecord();
    if (!owner || owner->GetFileRef() == kNTFSNoRecord) return;
    const uint64_t ownerNumber = owner->GetFileRef() & kNTFSRecordNumberMask;
    // The whole list in one read: a non-resident list read entry by entry costs a cluster read
    // per entry, which on a cold disk is a seek each.
    const uint64_t listSize = std::min<uint64_t>(this->GetDataSize(), kMaxListBytes);
    std::vector<uint8_t> list(static_cast<size_t>(listSize));
    uint32_t got = 0;
    this->ReadData(0, list.data(), static_cast<uint32_t>(list.size()), &got);
    // A read that fails part way still delivers the entries before the failure.
    const uint64_t available = std::min<uint64_t>(got, list.size());
    uint64_t offset = 0;
    while (offset + kNTFSAttrListEntrySize <= available) {
        ByteReader entry(list.data() + offset, kNTFSAttrListEntrySize);
        uint32_t type = *entry.U32(0x00);
        uint16_t length = *entry.U16(0x04);
        uint64_t number = *entry.U64(0x10) & kNTFSRecordNumberMask;
        uint32_t index = (type >> 4) - 1;
        if (index >= kNTFSAttrLists) return;
        if (length < kMinEntryLength || length > listSize - offset) return;
        offset += length;

        // A list never names another list; following one could only loop between records.
        // Types 0x21 to 0x2F fall in the same list and would be built as lists too.
        constexpr uint32_t kListIndex = (kNTFSAttrAttributeList >> 4) - 1;
        if (number == ownerNumber || index == kListIndex || !(owner->GetAttrMask() & (1u << index)))
            continue;
        auto owned = std::make_unique<NTFSFileRecord>(owner->GetVolume());
        NTFSFileRecord* extension = owned.get();
        if (!records_.InsertEntry(std::move(owned))) return;
        extension->mask_ = 1u << index;
        if (!extension->ReadFileRecord(number)) return;
        // A record that no longer extends this one (its file was deleted and the record
        // reused) holds another file's attributes.
        if ((extension->GetBaseRecordRef() & kNTFSRecordNumberMask) != ownerNumber) continue;
        extension->ParseAttrs();
        owner->TakeAttrs(*extension, index);
    }
}

template class NTFSAttributeList<NTFSAttributeResident>;
template class NTFSAttributeList<NTFSAttributeNonResident>;

}  // namespace Vorlaq

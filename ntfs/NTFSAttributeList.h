#pragma once
// $ATTRIBUTE_LIST: the attributes of a file that did not fit in its base record. Building the
// object reads the extension records the list names and moves their attributes of the types the
// owning record selects into the owning record's lists; the extension records stay owned here,
// since the moved attributes point into their buffers.
//
// Entry (offsets from the entry's start; entries follow one another in the value):
//   0x00 u32 type code of the listed attribute
//   0x04 u16 entry length
//   0x06 u8  name length, 0x07 u8 name offset
//   0x08 u64 starting VCN of the listed attribute record
//   0x10 u64 reference of the record that holds it (low 48 bits record number)
//   0x18 u16 attribute id
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSSingleList.h"

namespace Vorlaq {

class NTFSFileRecord;

constexpr uint32_t kNTFSAttrListEntrySize = 32;

template <typename B>
class NTFSAttributeList : public B {
public:
    NTFSAttributeList(const ByteReader& attr, NTFSFileRecord* record);
    ~NTFSAttributeList() override;

    NTFSSingleList<NTFSFileRecord>& GetExtensionRecords() { return records_; }

private:
    void Expand();

    NTFSSingleList<NTFSFileRecord> records_;
};

extern template class NTFSAttributeList<NTFSAttributeResident>;
extern template class NTFSAttributeList<NTFSAttributeNonResident>;

}  // namespace Vorlaq

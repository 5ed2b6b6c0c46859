#pragma once
// $INDEX_ROOT: the root node of a directory index, resident in the record.
// Value: 0x00 u32 indexed attribute type (0x30 for directories), 0x10 the node header.
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSIndexEntry.h"
#include "ntfs/NTFSSingleList.h"

namespace Vorlaq {

class NTFSAttributeIndexRoot : public NTFSAttributeResident, public NTFSSingleList<NTFSIndexEntry> {
public:
    NTFSAttributeIndexRoot(const ByteReader& attr, NTFSFileRecord* record);
    // Only $FILE_NAME-keyed roots are walked; others have no entries.
    bool IsFileNameIndex() const;
};

}  // namespace Vorlaq

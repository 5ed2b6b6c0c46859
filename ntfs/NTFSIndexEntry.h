#pragma once
// Directory index entries ($I30: keys are $FILE_NAME values).
//
// Index entry (offsets from the entry's start):
//   0x00 u64 file reference, 0x08 u16 entry length, 0x0A u16 key length,
//   0x0C u8 flags (0x1 has a child node, 0x2 last entry), then the key at 0x10;
//   with flag 0x1 the entry's last eight bytes are the child node's VCN.
// Index node header (at 0x10 of an $INDEX_ROOT value, at 0x18 of an index block):
//   0x00 u32 offset of the first entry, 0x04 u32 size of the entries, from the node header.
#include <cstdint>
#include <functional>
#include <vector>

#include "base/ByteReader.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSSingleList.h"

namespace Vorlaq {

class NTFSIndexEntry : public NTFSFileName {
public:
    // `entry` covers the entry's bytes (at least its 16-byte header). With `copy` the entry's
    // bytes are copied and owned, so the entry outlives the buffer it came from.
    NTFSIndexEntry(const ByteReader& entry, bool copy);

    uint64_t GetFileReference() const;
    bool HasSubNode() const;
    bool IsLast() const;
    // The child node's VCN; all ones without one.
    uint64_t GetSubNodeVCN() const;

private:
    std::vector<uint8_t> copy_;
    ByteReader entry_;
};

// Walks the entries of one index node: from `nodeHeader` + first-entry offset, while the running
// total of entry lengths stays within the node's size, ending after the entry flagged last or when
// `visit` returns false. Malformed entries end the walk. `visit` sees each entry's bytes.
void ForEachIndexEntry(const ByteReader& node, size_t nodeHeader, const std::function<bool(const ByteReader& entry)>& visit);

// ForEachIndexEntry into `entries`.
void ParseIndexEntries(const ByteReader& node, size_t nodeHeader, NTFSSingleList<NTFSIndexEntry>* entries,
                       bool copy);

}  // namespace Vorlaq

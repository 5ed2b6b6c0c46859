#pragma once
// The non-resident storage form: the value lies in clusters named by the attribute's run list.
//
// Non-resident header (offsets from the attribute's start; the common part is in NTFSAttribute.h):
//   0x10 u64 starting VCN of the clusters this attribute record maps
//   0x18 u64 last VCN this attribute record maps
//   0x20 u16 run list offset
//   0x22 u16 compression unit: log2 of the clusters per unit; counts only with header flag 0x0001
//   0x28 u64 allocated size in bytes   } meaningful only in the record that starts at VCN 0:
//   0x30 u64 data size in bytes         } later pieces of a stream carry 0 or stale values
//   0x38 u64 initialized size in bytes  }
//
// Runs are kept with the stream's own VCNs (the piece's starting VCN plus the position in its run
// list), so a stream whose run list is continued in other attribute records reads as one once
// those pieces are absorbed into the piece that starts at VCN 0.
#include <cstdint>
#include <vector>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSDataRun.h"

namespace Vorlaq {

constexpr uint32_t kNTFSNonResidentHeaderSize = 0x40;
constexpr uint16_t kNTFSAttrFlagCompressed = 0x0001;

class NTFSAttributeNonResident : public NTFSAttributeBase {
public:
    NTFSAttributeNonResident(const ByteReader& attr, NTFSFileRecord* record);

    // The non-resident header is complete, the name lies inside the attribute and the run list
    // starts inside it.
    static bool IsWellFormed(const ByteReader& attr);

    uint64_t GetDataSize(uint64_t* allocSize = nullptr) const override;
    // Reads the stream: compressed units come back decompressed, sparse runs as zeros, bytes from
    // the initialized size to the data size as zeros. A read that fails part way (a device that
    // ends early) says in *delivered how many bytes from `offset` on arrived before the failure. A stream that is not compressed keeps no
    // state between reads, so two threads may read it at once (over a device that allows it).
    bool ReadData(const uint64_t& offset, void* buffer, uint32_t length, uint32_t* delivered) override;
    bool IsDataRunOK() const override { return runsOK_; }
    // Sparse runs, and in a compressed stream only whole compression units with nothing stored;
    // never past the clusters this attribute covers.
    uint64_t GetHoleLength(uint64_t offset) const override;
    uint64_t GetNextHole(uint64_t offset) const override;

    // Asks the device to start reading the clusters that hold the stream's bytes from `offset` on,
    // `length` of them (sparse runs need nothing), and returns without waiting.
    void Prefetch(uint64_t offset, uint64_t length) const;

    uint64_t GetStartVCN() const;
    uint64_t GetLastVCN() const;
    uint64_t GetInitializedSize() const;
    // Header flag 0x0001 with a compression unit: the value is stored in LZNT1 units.
    bool IsCompressedStream() const;
    // Header 0x22 as stored: log2 of the clusters per compression unit.
    uint16_t GetCompressionShift() const;
    // The runs by starting VCN, empty ones included, as the run lists give them.
    const std::vector<tagNTFSDataRunEntry>& GetDataRuns() const { return runs_; }

    // Takes the runs of another piece of the same stream (a later starting VCN) into this one,
    // which must start at VCN 0. False, taking nothing, for a piece that starts at VCN 0 or
    // overlaps a piece already held (a duplicate).
    bool AbsorbPiece(NTFSAttributeNonResident& piece);

protected:
    // Decodes one run-list entry at `cursor` (inside `runs`) and steps past it.
    bool ParseDataRun(const ByteReader& runs, size_t* cursor, uint64_t* length, int64_t* offset) const;
    // Decodes the whole run list; the result becomes the run-list-OK flag.
    bool PickData();
    // Reads `clusters` whole clusters at `lcn`, or zero-fills them for a sparse run (lcn -1); false
    // unless all of them arrived, with the bytes that did in *delivered when given.
    bool ReadClusters(void* buffer, uint32_t clusters, int64_t lcn, uint32_t* delivered = nullptr);
    // Reads `clusters` whole clusters of the stream from `vcn` through the run list; a read that
    // runs out of runs or fails on the device succeeds with a short *delivered (bytes: the whole
    // clusters before the gap, and what a device that ended inside the next one gave of it).
    bool ReadVirtualClusters(uint64_t vcn, uint32_t clusters, void* buffer, uint32_t bufferSize,
                             uint32_t* delivered);

private:
    bool ReadStored(uint64_t offset, uint8_t* buffer, uint32_t length, uint32_t* delivered);
    bool ReadCompressed(uint64_t offset, uint8_t* buffer, uint32_t length, uint32_t* delivered);
    bool LoadUnit(uint64_t unit, uint32_t unitClusters);
    // The run that holds `vcn`, or null. Empty runs are passed over.
    const tagNTFSDataRunEntry* FindRun(uint64_t vcn) const;

    struct Piece {
        uint64_t start;
        uint64_t end;  // exclusive
    };

    std::vector<tagNTFSDataRunEntry> runs_;  // sorted by starting VCN (stable: list order kept)
    bool runsOK_ = false;
    uint64_t coveredEnd_ = 0;                  // reads must end at or before this VCN
    std::vector<Piece> pieces_;                // VCN ranges held: this record's, then absorbed ones
    std::vector<uint8_t> unitBuffer_;          // one decompressed compression unit
    uint64_t cachedUnit_ = UINT64_MAX;
};

}  // namespace Vorlaq

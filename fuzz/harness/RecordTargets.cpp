// Targets over single structures in a synthetic volume: one file record, a base record with the
// extension records its attribute list names, and one non-resident attribute's run list.
#include <algorithm>
#include <vector>

#include "base/ByteReader.h"
#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzDevices.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSAttributeData.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSDataRun.h"
#include "ntfs/NTFSFileRecord.h"

using namespace Vorlaq;

namespace QuorretFuzz {

namespace {

// The fuzzed record's number; extension records follow it.
constexpr uint64_t kSlot = 16;
constexpr uint64_t kMaxExtensionRecords = 7;
// Streams are read up to this many bytes per attribute.
constexpr uint64_t kReadLimit = 1u << 20;

ScratchVolume& RecordVolume() {
    static ScratchVolume volume(QuorretTest::VolumeImage::Geometry{});
    return volume;
}

// Small clusters make every run list reach the fuzzed bytes; 4 KiB clusters are the usual ones.
ScratchVolume& RunVolume(bool largeClusters) {
    static ScratchVolume small([] {
        QuorretTest::VolumeImage::Geometry g;
        g.clusterSize = 512;
        g.records = 16;
        return g;
    }());
    static ScratchVolume large([] {
        QuorretTest::VolumeImage::Geometry g;
        g.records = 16;
        return g;
    }());
    return largeClusters ? large : small;
}

void PutLE(std::vector<uint8_t>& b, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLE(const uint8_t* p, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= uint64_t{p[i]} << (8 * i);
    return value;
}

// A non-resident $DATA header around `runs`, exactly as long as header and run list, so that
// a read past the run list's end is a read past the allocation.
std::vector<uint8_t> NonResidentHeader(uint16_t flags, uint16_t unit, uint64_t startVcn, uint64_t lastVcn,
                                       uint64_t dataSize, uint64_t initSize, uint32_t clusterSize,
                                       const uint8_t* runs, size_t runsSize) {
    std::vector<uint8_t> attr(kNTFSNonResidentHeaderSize + runsSize, 0);
    PutLE(attr, 0x00, 0x80, 4);
    PutLE(attr, 0x04, attr.size(), 4);
    attr[0x08] = 1;
    PutLE(attr, 0x0A, kNTFSNonResidentHeaderSize, 2);
    PutLE(attr, 0x0C, flags, 2);
    PutLE(attr, 0x10, startVcn, 8);
    PutLE(attr, 0x18, lastVcn, 8);
    PutLE(attr, 0x20, kNTFSNonResidentHeaderSize, 2);
    PutLE(attr, 0x22, unit, 2);
    PutLE(attr, 0x28, (lastVcn - startVcn + 1) * clusterSize, 8);
    PutLE(attr, 0x30, dataSize, 8);
    PutLE(attr, 0x38, initSize, 8);
    std::copy(runs, runs + runsSize, attr.begin() + kNTFSNonResidentHeaderSize);
    return attr;
}

// Every entry decoded on its own: each step moves on and stays inside the run list.
void DecodeEveryRun(const uint8_t* runs, size_t size) {
    ByteReader reader(runs, size);
    size_t cursor = 0;
    while (cursor < size && runs[cursor] != 0) {
        size_t before = cursor;
        uint64_t length = 0;
        int64_t offset = 0;
        if (!DecodeDataRun(reader, &cursor, &length, &offset)) return;
        const uint8_t header = runs[before];
        Check(cursor == before + 1 + (header & 0x0F) + (header >> 4), "an entry is its header and its bytes");
        Check(cursor <= size, "an entry ends inside the run list");
        Check(static_cast<int64_t>(length) >= 0, "a run length is not negative");
    }
}

}  // namespace

int FuzzFileRecord(const uint8_t* data, size_t size) {
    ScratchVolume& scratch = RecordVolume();
    const size_t recordSize = scratch.RecordSize();
    const size_t recordBytes = std::min(size, recordSize);
    scratch.SetRecord(kSlot, data, recordBytes);
    scratch.SetData(data + recordBytes, size - recordBytes);
    ExerciseRecordNumber(scratch.Volume(), kSlot, kReadLimit);

    // The same bytes handed over by a caller that read them itself (the scan's block reads).
    std::vector<uint8_t> raw(recordSize, 0);
    std::copy(data, data + recordBytes, raw.begin());
    NTFSFileRecord loaded(&scratch.Volume());
    loaded.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
    if (loaded.LoadFileRecord(kSlot, raw.data(), raw.size())) {
        (void)loaded.ParseAttrs();
        ExerciseRecord(loaded, kReadLimit);
    }
    (void)loaded.LoadFileRecord(kSlot, raw.data(), raw.size() - 1);
    return 0;
}

int FuzzAttributeList(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    ScratchVolume& scratch = RecordVolume();
    const size_t recordSize = scratch.RecordSize();
    const uint64_t records = 1 + data[0] % (kMaxExtensionRecords + 1);
    size_t at = 1;
    for (uint64_t i = 0; i <= kMaxExtensionRecords; ++i) {
        if (i < records) {
            size_t n = std::min(size - at, recordSize);
            scratch.SetRecord(kSlot + i, data + at, n);
            at += n;
        } else {
            scratch.SetRecord(kSlot + i, nullptr, 0);
        }
    }
    scratch.SetData(data + at, size - at);
    ExerciseRecordNumber(scratch.Volume(), kSlot, kReadLimit);
    return 0;
}

// Input: flags (bit 0: 4 KiB clusters; bit 1: compressed), compression unit, starting VCN,
// last VCN, data size, initialized size (u64 each), run list length, run list; the rest is the
// volume the clusters are read from.
int FuzzDataRuns(const uint8_t* data, size_t size) {
    constexpr size_t kFixed = 2 + 4 * 8 + 1;
    if (size < kFixed) return 0;
    const uint8_t flags = data[0];
    const uint16_t unit = data[1];
    const uint64_t startVcn = GetLE(data + 2, 8);
    const uint64_t lastVcn = GetLE(data + 10, 8);
    const uint64_t dataSize = GetLE(data + 18, 8);
    const uint64_t initSize = GetLE(data + 26, 8);
    const size_t runsSize = std::min<size_t>(data[34], size - kFixed);
    const uint8_t* runs = data + kFixed;
    const uint8_t* clusters = runs + runsSize;
    const size_t clustersSize = size - kFixed - runsSize;

    DecodeEveryRun(runs, runsSize);

    ScratchVolume& scratch = RunVolume(flags & 1);
    const uint16_t attrFlags = (flags & 2) ? kNTFSAttrFlagCompressed : 0;
    std::vector<uint8_t> header = NonResidentHeader(attrFlags, unit, startVcn, lastVcn, dataSize, initSize,
                                                    scratch.ClusterSize(), runs, runsSize);
    ByteReader attr(header.data(), header.size());
    if (!NTFSAttributeNonResident::IsWellFormed(attr)) return 0;

    NTFSFileRecord owner(&scratch.Volume());
    scratch.ServeInstead(clusters, clustersSize);
    {
        NTFSAttributeData<NTFSAttributeNonResident> stream(attr, &owner);
        ExerciseAttribute(stream, kReadLimit);

        // The same run list as the stream's continuation, taken into a piece that starts at 0.
        std::vector<uint8_t> later = NonResidentHeader(attrFlags, unit, lastVcn + 1, lastVcn + 1 + (lastVcn - startVcn),
                                                       0, 0, scratch.ClusterSize(), runs, runsSize);
        NTFSAttributeData<NTFSAttributeNonResident> piece(ByteReader(later.data(), later.size()), &owner);
        if (stream.AbsorbPiece(piece)) ExerciseAttribute(stream, kReadLimit);
    }
    scratch.ServeInstead(nullptr, 0);
    return 0;
}

}  // namespace QuorretFuzz

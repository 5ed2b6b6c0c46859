#include "scan/RecordCarver.h"

#include <algorithm>

#include "base/AlignedBytes.h"
#include "base/ByteReader.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSUpdateSequence.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kFileMagic = 0x454C4946;   // "FILE"
constexpr uint32_t kIndexMagic = 0x58444E49;  // "INDX"
constexpr uint32_t kStep = 512;               // records and index blocks start on sector boundaries
constexpr uint32_t kLargestRecord = 64u << 10;
// The record number at 0x2C exists only where the update-sequence array starts after it (NTFS 3.1).
constexpr uint16_t kNumberedUsaOffset = 0x30;
// Index blocks noted at most: 32 MiB of positions, more than enough to tell a cluster size, however
// many sectors of a hostile source look like one.
constexpr size_t kMostIndexBlocks = 2u << 20;
// Boot sectors noted at most: a disk holds a few volumes; a hostile source may hold a sector of them.
constexpr size_t kMostBootSectors = 256;
// "NTFS" at the boot sector's OEM identifier (byte 3), read as a little-endian u32.
constexpr uint32_t kBootOemNtfs = 0x5346544E;
// An index block's VCN in its folder's index (header 0x10).
constexpr size_t kIndexBlockVcn = 0x10;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The record's size from its header, when a record can be that large: whole 512-byte blocks and a
// power of two up to 64 KiB, with the update-sequence array after the record number.
uint32_t RecordSizeOf(const ByteReader& header) {
    const uint32_t allocated = header.U32(0x1C).value_or(0);
    const uint16_t usaOffset = header.U16(0x04).value_or(0);
    if (!IsPowerOfTwo(allocated) || allocated < kStep || allocated > kLargestRecord) return 0;
    if (usaOffset < kNumberedUsaOffset) return 0;
    return allocated;
}

}  // namespace

class RecordCarver::Examiner {
public:
    Examiner(const VolumeSource& source, Device* device, uint32_t clusterSize)
        : source_(source), device_(device), clusterSize_(clusterSize) {}

    void LookThrough(Block& block, const WantedRecord& wanted, const RecordSink& record, const EntrySink& indexEntry) {
        block.indexBlocks.clear();
        block.bootSectors.clear();
        block.log.clear();
        LogDeferral deferral(block.log);
        for (size_t offset = 0; offset + 4 <= block.got; offset += kStep)
            Examine(block.bytes.data() + offset, block.got - offset, block.at + offset, block, wanted, record,
                    indexEntry);
    }

private:
    // `bytes` (`size` of them left in the block) when `need` of them are there, else the `need`
    // bytes at `position` read on their own; null when they cannot be read.
    const uint8_t* Whole(const uint8_t* bytes, size_t size, uint64_t position, size_t need) {
        if (need <= size) return bytes;
        // A structure that runs past this block is read on its own: rare, and blocks need not overlap.
        straddling_.resize(need);
        uint32_t got = 0;
        if (!device_->ReadAt(position, straddling_.data(), static_cast<uint32_t>(need), &got) || got != need)
            return nullptr;
        return straddling_.data();
    }

    // Points record_ at a view of the MFT that starts at `mftStart`.
    void SelectView(uint64_t mftStart, uint32_t recordSize) {
        if (!view_ || viewStart_ != mftStart || viewRecordSize_ != recordSize) {
            record_.reset();
            view_ = source_.OldFileSystem(mftStart, recordSize, clusterSize_).Open();
            viewStart_ = mftStart;
            viewRecordSize_ = recordSize;
            record_ = std::make_unique<NTFSFileRecord>(view_.get());
        }
    }

    void ExamineIndexBlock(const uint8_t* bytes, size_t size, uint64_t position, Block& block,
                           const EntrySink& indexEntry) {
        // Its size is what its update-sequence array covers; the fix-up must check over it.
        const uint16_t count = ByteReader(bytes, size).U16(0x06).value_or(0);
        const size_t blockSize = count > 1 ? size_t{count - 1u} * kStep : 0;
        if (blockSize == 0 || blockSize > kLargestRecord) return;
        const uint8_t* whole = Whole(bytes, size, position, blockSize);
        if (!whole) return;
        indexBlock_.assign(whole, whole + blockSize);
        if (!ApplyUpdateSequence(indexBlock_.data(), blockSize)) return;
        const ByteReader fixed(indexBlock_.data(), blockSize);
        CarvedIndexBlock seen{position, kNoIndexOwner, fixed.U64(kIndexBlockVcn).value_or(0)};
        ForEachIndexEntry(fixed, kNTFSIndexBlockNodeHeader, [&](const ByteReader& bytes) {
            const NTFSIndexEntry entry(bytes, false);
            if (seen.owner == kNoIndexOwner && !entry.IsLast())
                seen.owner = entry.GetParentRef() & kNTFSRecordNumberMask;
            if (indexEntry) indexEntry(entry, position);
            return true;
        });
        block.indexBlocks.push_back(seen);
    }

    void ExamineBootSector(const uint8_t* bytes, size_t size, uint64_t position, Block& block) {
        CarvedBootSector found{position, {}};
        if (ParseBootSector(bytes, size, &found.geometry)) block.bootSectors.push_back(found);
    }

    void Examine(const uint8_t* bytes, size_t size, uint64_t position, Block& block, const WantedRecord& wanted,
                 const RecordSink& found, const EntrySink& indexEntry) {
        ByteReader header(bytes, size);
        const uint32_t magic = header.U32(0).value_or(0);
        if (magic == kIndexMagic) {
            ExamineIndexBlock(bytes, size, position, block, indexEntry);
            return;
        }
        if (header.U32(3).value_or(0) == kBootOemNtfs && size >= kBootSectorSize) {
            ExamineBootSector(bytes, size, position, block);
            return;
        }
        if (magic != kFileMagic || size < kNumberedUsaOffset) return;
        const uint32_t recordSize = RecordSizeOf(header);
        if (recordSize == 0) return;
        const uint64_t number = header.U32(0x2C).value_or(0);
        bytes = Whole(bytes, size, position, recordSize);
        if (!bytes) return;
        // Checked on the stored bytes first (fix-up included), so that only a sound record is loaded (which logs).
        const NTFSRecordHeader fields = ReadRecordHeader(bytes, recordSize);
        if (!fields.sound || fields.baseRef != 0) return;
        if (wanted && !wanted(position, recordSize, fields)) return;

        const uint64_t mftStart = position - number * recordSize;
        SelectView(mftStart, recordSize);
        NTFSFileRecord& record = *record_;
        record.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData | NTFSAttrMaskBit(kNTFSAttrIndexAllocation));
        if (!record.LoadFileRecord(number, bytes, recordSize)) return;
        record.ParseAttrs();
        found({position, mftStart, recordSize, &record});
    }

    const VolumeSource& source_;
    Device* const device_;
    const uint32_t clusterSize_;
    std::vector<uint8_t> straddling_;
    std::vector<uint8_t> indexBlock_;  // the last index block, fixed up
    // The view of the last records' MFT: records of one MFT come one after the other.
    std::unique_ptr<NTFSVolume> view_;
    uint64_t viewStart_ = 0;
    uint32_t viewRecordSize_ = 0;
    std::unique_ptr<NTFSFileRecord> record_;
};

RecordCarver::RecordCarver(const VolumeSource& source, uint64_t length, uint32_t clusterSize, uint32_t blockBytes)
    : source_(source), device_(source.OpenDevice()), length_(length), clusterSize_(clusterSize ? clusterSize : 4096),
      blockBytes_(std::max(blockBytes / kStep, 1u) * kStep) {}

RecordCarver::~RecordCarver() = default;

bool RecordCarver::ReadNext(Block& block) {
    // Blocks are read in turn, each by the worker that then looks through it while it is still in
    // that processor's cache; the system reads ahead of a sequential reader itself. Blocks of
    // 1 MiB: at 128 KiB, handing blocks between threads cost what a second thread gained.
    if (ended_ || next_ >= length_ || !device_) return false;
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(blockBytes_, length_ - next_));
    if (block.bytes.size() < want) block.bytes.resize(want);
    block.at = next_;
    block.got = 0;
    if (!device_->ReadAt(next_, block.bytes.data(), want, &block.got) || block.got == 0) {
        ended_ = true;
        return false;
    }
    next_ += block.got;
    ended_ = block.got < want;  // the source ended early
    return true;
}

void RecordCarver::MakeExaminers(size_t workers) {
    while (examiners_.size() < workers)
        examiners_.push_back(std::make_unique<Examiner>(source_, device_.get(), clusterSize_));
}

void RecordCarver::Examine(Block& block, size_t worker, const WantedRecord& wanted, const RecordSink& record,
                           const EntrySink& indexEntry) {
    examiners_.at(worker)->LookThrough(block, wanted, record, indexEntry);
}

namespace {

template <typename T>
void AppendBounded(std::vector<T>& to, const std::vector<T>& from, size_t most) {
    const size_t room = most - std::min(most, to.size());
    to.insert(to.end(), from.begin(), from.begin() + static_cast<ptrdiff_t>(std::min(room, from.size())));
}

}  // namespace

void RecordCarver::NoteStructures(const Block& block) {
    AppendBounded(indexBlocks_, block.indexBlocks, kMostIndexBlocks);
    AppendBounded(bootSectors_, block.bootSectors, kMostBootSectors);
}

}  // namespace Vorlaq

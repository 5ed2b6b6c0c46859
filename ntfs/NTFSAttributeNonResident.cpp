#include "ntfs/NTFSAttributeNonResident.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/LogManager.h"
#include "base/os/Device.h"
#include "ntfs/NTFSLznt1.h"

namespace Vorlaq {

namespace {

// A compression unit is 2^n clusters (16 in practice); larger units are not accepted.
constexpr uint16_t kMaxCompressionShift = 16;
constexpr uint64_t kMaxCompressionUnitBytes = 32ull * 1024 * 1024;

// Where the VCNs of a piece end (exclusive): a last VCN below the starting one (an empty
// stream stores -1) covers nothing.
uint64_t PieceEnd(uint64_t start, uint64_t last) {
    return (last >= start && last != UINT64_MAX) ? last + 1 : start;
}

}  // namespace

NTFSAttributeNonResident::NTFSAttributeNonResident(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeBase(attr, record) {
    uint64_t start = GetStartVCN();
    coveredEnd_ = PieceEnd(start, GetLastVCN());
    pieces_.push_back({start, coveredEnd_});
    runsOK_ = PickData();
}

bool NTFSAttributeNonResident::IsWellFormed(const ByteReader& attr) {
    if (attr.size() < kNTFSNonResidentHeaderSize || !HasNameInside(attr)) return false;
    auto runsOffset = attr.U16(0x20);
    return runsOffset && *runsOffset <= attr.size();
}

uint64_t NTFSAttributeNonResident::GetStartVCN() const { return attr_.U64(0x10).value_or(0); }
uint64_t NTFSAttributeNonResident::GetLastVCN() const { return attr_.U64(0x18).value_or(0); }
uint64_t NTFSAttributeNonResident::GetInitializedSize() const { return attr_.U64(0x38).value_or(0); }

uint64_t NTFSAttributeNonResident::GetDataSize(uint64_t* allocSize) const {
    if (allocSize) *allocSize = attr_.U64(0x28).value_or(0);
    return attr_.U64(0x30).value_or(0);
}

uint16_t NTFSAttributeNonResident::GetCompressionShift() const { return attr_.U16(0x22).value_or(0); }

bool NTFSAttributeNonResident::IsCompressedStream() const {
    return (GetAttrFlags() & kNTFSAttrFlagCompressed) && GetCompressionShift() != 0;
}

bool NTFSAttributeNonResident::ParseDataRun(const ByteReader& runs, size_t* cursor, uint64_t* length,
                                            int64_t* offset) const {
    return DecodeDataRun(runs, cursor, length, offset);
}

bool NTFSAttributeNonResident::PickData() {
    size_t runsOffset = attr_.U16(0x20).value_or(0);
    ByteReader runs = attr_.Sub(runsOffset, attr_.size() - std::min(runsOffset, attr_.size())).value_or(ByteReader());
    uint64_t start = GetStartVCN();
    // Run VCNs are checked against the piece the way the header states it (last - starting
    // VCN, unsigned) and stored as the stream's VCNs.
    uint64_t span = GetLastVCN() - start;
    size_t cursor = 0;
    int64_t lcn = 0;
    uint64_t vcn = 0;
    while (runs.U8(cursor).value_or(0) != 0) {
        uint64_t length = 0;
        int64_t offset = 0;
        if (!ParseDataRun(runs, &cursor, &length, &offset)) break;
        int64_t next = 0;
        if (__builtin_add_overflow(lcn, offset, &next) || next < 0) return false;
        lcn = next;
        uint64_t runLast = vcn + length - 1;
        bool overflow = length > UINT64_MAX - vcn;
        if (overflow || runLast > span || runLast > UINT64_MAX - start) {
            runs_.clear();
            return false;
        }
        try {
            runs_.push_back({offset == 0 ? -1 : lcn, length, start + vcn, start + runLast});
        } catch (const std::bad_alloc&) {
            return false;
        }
        vcn += length;
    }
    return true;
}

const tagNTFSDataRunEntry* NTFSAttributeNonResident::FindRun(uint64_t vcn) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), vcn,
                               [](uint64_t v, const tagNTFSDataRunEntry& run) { return v < run.StartVCN; });
    while (it != runs_.begin()) {
        --it;
        if (it->Clusters > 0) return vcn <= it->LastVCN ? &*it : nullptr;
    }
    return nullptr;
}

uint64_t NTFSAttributeNonResident::GetHoleLength(uint64_t offset) const {
    const uint64_t size = GetDataSize();
    if (clusterSize_ == 0 || offset >= size) return 0;
    uint64_t unitClusters = 1;
    if (IsCompressedStream()) {
        const uint16_t shift = GetCompressionShift();
        if (shift > kMaxCompressionShift) return 0;
        unitClusters = uint64_t{1} << shift;
    }
    const uint64_t vcn = offset / clusterSize_;
    const uint64_t unitStart = vcn / unitClusters * unitClusters;
    // Sparse runs that follow one another from the unit's start: each step passes a whole run
    // (a found run ends at or after `end`), so the walk ends within the run count.
    uint64_t end = unitStart;
    while (end < coveredEnd_) {
        const tagNTFSDataRunEntry* run = FindRun(end);
        if (!run || run->LCN != -1) break;
        end = run->LastVCN >= coveredEnd_ - 1 ? coveredEnd_ : run->LastVCN + 1;
    }
    end = end / unitClusters * unitClusters;
    if (end <= vcn) return 0;
    const uint64_t holeEnd = end > size / clusterSize_ ? size : end * clusterSize_;
    return holeEnd > offset ? holeEnd - offset : 0;
}

uint64_t NTFSAttributeNonResident::GetNextHole(uint64_t offset) const {
    const uint64_t size = GetDataSize();
    if (clusterSize_ == 0 || offset >= size) return size;
    const uint64_t unitClusters = IsCompressedStream() ? uint64_t{1} << std::min(GetCompressionShift(), kMaxCompressionShift) : 1;
    const uint64_t vcn = offset / clusterSize_;
    auto it = std::upper_bound(runs_.begin(), runs_.end(), vcn,
                               [](uint64_t v, const tagNTFSDataRunEntry& run) { return v < run.StartVCN; });
    if (it != runs_.begin()) --it;
    // Each sparse run from here on may start a hole at its first whole unit.
    for (; it != runs_.end(); ++it) {
        if (it->Clusters == 0 || it->LCN != -1 || it->LastVCN < vcn) continue;
        const uint64_t from = std::max(it->StartVCN, vcn);
        if (from > UINT64_MAX - unitClusters) break;
        const uint64_t unitStart = (from + unitClusters - 1) / unitClusters * unitClusters;
        if (unitStart > size / clusterSize_) break;
        const uint64_t at = std::max(unitStart * clusterSize_, offset);
        if (at < size && GetHoleLength(at) > 0) return at;
    }
    return size;
}

bool NTFSAttributeNonResident::AbsorbPiece(NTFSAttributeNonResident& piece) {
    uint64_t start = piece.GetStartVCN();
    uint64_t end = PieceEnd(start, piece.GetLastVCN());
    if (GetStartVCN() != 0 || start == 0 || end <= start) return false;
    // The piece may itself hold pieces it absorbed: none of them may be held here already.
    for (const Piece& incoming : piece.pieces_)
        for (const Piece& held : pieces_)
            if (incoming.start < held.end && held.start < incoming.end) return false;

    runs_.insert(runs_.end(), piece.runs_.begin(), piece.runs_.end());
    std::stable_sort(runs_.begin(), runs_.end(), [](const tagNTFSDataRunEntry& a, const tagNTFSDataRunEntry& b) {
        return a.StartVCN < b.StartVCN;
    });

    for (const Piece& incoming : piece.pieces_) pieces_.push_back(incoming);
    coveredEnd_ = std::max(coveredEnd_, piece.coveredEnd_);
    runsOK_ = runsOK_ && piece.runsOK_;
    cachedUnit_ = UINT64_MAX;
    return true;
}

bool NTFSAttributeNonResident::ReadClusters(void* buffer, uint32_t clusters, int64_t lcn, uint32_t* delivered) {
    uint32_t got = 0;
    if (!delivered) delivered = &got;
    *delivered = 0;
    uint64_t bytes = uint64_t{clusters} * clusterSize_;
    if (bytes > UINT32_MAX) return false;
    if (lcn == -1) {
        LogManager::instance().print(LogLevel::Info, L"Sparse Data, Fill the buffer with 0. ");
        std::memset(buffer, 0, static_cast<size_t>(bytes));
        *delivered = static_cast<uint32_t>(bytes);
        return true;
    }
    if (!device_ || lcn < 0 || static_cast<uint64_t>(lcn) > UINT64_MAX / clusterSize_) return false;
    // A device that ends inside the clusters delivers what it holds of them: say how much.
    const bool read = device_->ReadAt(static_cast<uint64_t>(lcn) * clusterSize_, buffer, static_cast<uint32_t>(bytes),
                                      delivered);
    if (!read) *delivered = 0;
    *delivered = std::min(*delivered, static_cast<uint32_t>(bytes));
    return read && *delivered == bytes;
}

void NTFSAttributeNonResident::Prefetch(uint64_t offset, uint64_t length) const {
    if (!device_ || clusterSize_ == 0 || length == 0 || offset > UINT64_MAX - length) return;
    uint64_t vcn = offset / clusterSize_;
    const uint64_t end = std::min(coveredEnd_, (offset + length - 1) / clusterSize_ + 1);
    // Each step passes a whole run or reaches the end: the walk ends within the run count.
    while (vcn < end) {
        const tagNTFSDataRunEntry* run = FindRun(vcn);
        if (!run) return;
        const uint64_t clusters = std::min(end - vcn - 1, run->LastVCN - vcn) + 1;
        int64_t lcn = -1;
        if (run->LCN >= 0 && !__builtin_add_overflow(run->LCN, static_cast<int64_t>(vcn - run->StartVCN), &lcn) &&
            lcn >= 0 && static_cast<uint64_t>(lcn) <= UINT64_MAX / clusterSize_ && clusters <= UINT64_MAX / clusterSize_)
            device_->Prefetch(static_cast<uint64_t>(lcn) * clusterSize_, clusters * clusterSize_);
        vcn += clusters;
    }
}

bool NTFSAttributeNonResident::ReadVirtualClusters(uint64_t vcn, uint32_t clusters, void* buffer, uint32_t bufferSize,
                                                   uint32_t* delivered) {
    if (!buffer) return false;
    *delivered = 0;
    if (clusters > coveredEnd_ || vcn > coveredEnd_ - clusters) return false;
    if (bufferSize < uint64_t{clusters} * clusterSize_) {
        LogManager::instance().print(LogLevel::Error, L"Buffer size is too small. ");
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    uint32_t tail = 0;  // bytes a short read delivered of the run where it stopped
    while (clusters > 0) {
        const tagNTFSDataRunEntry* run = FindRun(vcn);
        if (!run) break;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(clusters, run->LastVCN - vcn + 1));
        int64_t lcn = -1;
        if (run->LCN != -1 && __builtin_add_overflow(run->LCN, static_cast<int64_t>(vcn - run->StartVCN), &lcn)) break;
        if (!ReadClusters(out, n, lcn, &tail)) break;
        tail = 0;
        out += uint64_t{n} * clusterSize_;
        clusters -= n;
        done += n;
        vcn += n;
    }
    *delivered = done * clusterSize_ + tail;
    return true;
}

bool NTFSAttributeNonResident::ReadStored(uint64_t offset, uint8_t* buffer, uint32_t length, uint32_t* delivered) {
    if (clusterSize_ == 0) return false;
    const uint32_t cs = clusterSize_;
    // A cluster read in part lands in this call's own buffer: nothing here is kept between calls.
    // A read that comes back short still counts the bytes it delivered before the gap.
    std::vector<uint8_t> partial;
    uint64_t vcn = offset / cs;
    uint32_t head = cs - static_cast<uint32_t>(offset % cs);
    uint32_t got = 0;
    if (head != cs) {
        partial.resize(cs);
        if (!ReadVirtualClusters(vcn, 1, partial.data(), cs, &got)) return false;
        const uint32_t skip = cs - head;
        const uint32_t n = std::min(head, length);
        const uint32_t usable = got > skip ? std::min(n, got - skip) : 0;
        std::memcpy(buffer, partial.data() + skip, usable);
        *delivered += usable;
        if (usable != n) return false;
        buffer += n;
        length -= n;
        ++vcn;
    }
    if (length == 0) return true;
    uint32_t middle = length / cs;
    if (middle > 0) {
        uint32_t bytes = middle * cs;
        if (!ReadVirtualClusters(vcn, middle, buffer, bytes, &got)) return false;
        *delivered += got;
        if (got != bytes) return false;
        vcn += middle;
        buffer += bytes;
        length %= cs;
        if (length == 0) return true;
    }
    partial.resize(cs);
    if (!ReadVirtualClusters(vcn, 1, partial.data(), cs, &got)) return false;
    const uint32_t usable = std::min(length, got);
    std::memcpy(buffer, partial.data(), usable);
    *delivered += usable;
    return usable == length;
}

bool NTFSAttributeNonResident::LoadUnit(uint64_t unit, uint32_t unitClusters) {
    if (cachedUnit_ == unit) return true;
    cachedUnit_ = UINT64_MAX;
    const uint64_t unitBytes = uint64_t{unitClusters} * clusterSize_;
    if (unit > UINT64_MAX / unitClusters) return false;
    const uint64_t first = unit * unitClusters;
    if (unitBuffer_.size() != unitBytes) unitBuffer_.assign(static_cast<size_t>(unitBytes), 0);

    // Gather the unit's stored clusters in VCN order; the rest of the unit must be sparse.
    struct Extent {
        int64_t lcn;
        uint32_t clusters;
    };
    std::vector<Extent> stored;
    uint32_t storedClusters = 0;
    for (uint64_t vcn = first; vcn < first + unitClusters;) {
        const tagNTFSDataRunEntry* run = FindRun(vcn);
        if (!run) return false;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(first + unitClusters - vcn, run->LastVCN - vcn + 1));
        if (run->LCN != -1) {
            int64_t lcn = 0;
            if (__builtin_add_overflow(run->LCN, static_cast<int64_t>(vcn - run->StartVCN), &lcn)) return false;
            stored.push_back({lcn, n});
            storedClusters += n;
        }
        vcn += n;
    }

    if (storedClusters == 0) {
        // A unit with nothing stored is a sparse unit.
        if (!ReadClusters(unitBuffer_.data(), unitClusters, -1)) return false;
    } else if (storedClusters == unitClusters) {
        // A unit that would not shrink is stored as it is.
        uint8_t* out = unitBuffer_.data();
        for (const Extent& e : stored) {
            if (!ReadClusters(out, e.clusters, e.lcn)) return false;
            out += uint64_t{e.clusters} * clusterSize_;
        }
    } else {
        std::vector<uint8_t> packed(uint64_t{storedClusters} * clusterSize_);
        uint8_t* out = packed.data();
        for (const Extent& e : stored) {
            if (!ReadClusters(out, e.clusters, e.lcn)) return false;
            out += uint64_t{e.clusters} * clusterSize_;
        }
        if (!DecompressLznt1(packed.data(), packed.size(), unitBuffer_.data(), unitBuffer_.size())) return false;
    }
    cachedUnit_ = unit;
    return true;
}

bool NTFSAttributeNonResident::ReadCompressed(uint64_t offset, uint8_t* buffer, uint32_t length,
                                              uint32_t* delivered) {
    uint16_t shift = attr_.U16(0x22).value_or(0);
    if (shift > kMaxCompressionShift) return false;
    uint32_t unitClusters = 1u << shift;
    uint64_t unitBytes = uint64_t{unitClusters} * clusterSize_;
    if (unitBytes == 0 || unitBytes > kMaxCompressionUnitBytes) return false;
    while (length > 0) {
        uint64_t unit = offset / unitBytes;
        uint64_t within = offset % unitBytes;
        if (!LoadUnit(unit, unitClusters)) return false;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, unitBytes - within));
        std::memcpy(buffer, unitBuffer_.data() + within, n);
        buffer += n;
        offset += n;
        length -= n;
        *delivered += n;
    }
    return true;
}

bool NTFSAttributeNonResident::ReadData(const uint64_t& offset, void* buffer, uint32_t length, uint32_t* delivered) {
    if (!buffer) return false;
    uint32_t got = 0;
    if (delivered) *delivered = 0;
    if (length == 0) return true;
    uint64_t size = GetDataSize();
    if (offset > size) return false;
    if (length > size - offset) length = static_cast<uint32_t>(size - offset);
    if (length == 0) return true;

    // Past the initialized size the stream reads as zeros, whatever the clusters hold, but only
    // within the clusters this attribute covers: a damaged data size must not turn into an
    // endless stream of zeros that a restore would write until the disk is full.
    uint64_t end = offset + length;
    uint64_t coveredBytes = clusterSize_ == 0 ? 0
                            : coveredEnd_ > UINT64_MAX / clusterSize_ ? UINT64_MAX : coveredEnd_ * clusterSize_;
    if (end > coveredBytes) return false;
    uint64_t initialized = std::min(GetInitializedSize(), size);
    uint64_t storedEnd = std::min(end, std::max(initialized, offset));
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t storedLength = static_cast<uint32_t>(storedEnd - offset);
    if (storedLength > 0) {
        bool ok = IsCompressedStream() ? ReadCompressed(offset, out, storedLength, &got)
                                       : ReadStored(offset, out, storedLength, &got);
        if (delivered) *delivered = got;
        if (!ok) return false;
    }
    std::memset(out + storedLength, 0, length - storedLength);
    if (delivered) *delivered = length;
    return true;
}

}  // namespace Vorlaq

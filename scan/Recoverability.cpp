#include "scan/Recoverability.h"

#include <algorithm>

#include "base/WideFormat.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSClusterBitmap.h"

namespace Vorlaq {

namespace {

constexpr uint16_t kMaxCompressionShift = 16;

// VCNs below this hold the stream's bytes: whole clusters of the data size, whole compression
// units for a compressed stream.
uint64_t DataClusters(NTFSAttributeNonResident& stream, uint32_t clusterSize) {
    const uint64_t size = stream.GetDataSize();
    uint64_t clusters = size / clusterSize + (size % clusterSize ? 1 : 0);
    if (stream.IsCompressedStream()) {
        const uint16_t shift = stream.GetCompressionShift();
        if (shift <= kMaxCompressionShift) {
            const uint64_t unit = uint64_t{1} << shift;
            if (clusters <= UINT64_MAX - (unit - 1)) clusters = (clusters + unit - 1) / unit * unit;
        }
    }
    return clusters;
}

// Calls `piece(lcn, clusters)` for each stored run below the data's end.
template <typename Piece>
void ForEachStoredPiece(NTFSAttributeNonResident& stream, uint32_t clusterSize, Piece piece) {
    const uint64_t end = DataClusters(stream, clusterSize);
    for (const tagNTFSDataRunEntry& run : stream.GetDataRuns()) {
        if (run.StartVCN >= end || run.Clusters == 0 || run.LCN < 0) continue;
        piece(static_cast<uint64_t>(run.LCN), std::min(run.Clusters, end - run.StartVCN));
    }
}

// Bytes shared by [start, start + length) and `span`.
uint64_t Overlap(uint64_t start, uint64_t length, const DamagedSpan& span) {
    const uint64_t end = start + length;
    const uint64_t spanEnd = span.offset + std::min(span.length, UINT64_MAX - span.offset);
    const uint64_t from = std::max(start, span.offset), to = std::min(end, spanEnd);
    return to > from ? to - from : 0;
}

NTFSAttributeNonResident* StoredStream(NTFSAttributeBase* data, uint32_t clusterSize) {
    if (!data || !data->IsNonResident() || clusterSize == 0) return nullptr;
    return dynamic_cast<NTFSAttributeNonResident*>(data);
}

uint8_t PercentOf(uint64_t part, uint64_t whole) {
    const uint64_t percent = whole <= UINT64_MAX / 100 ? part * 100 / whole : part / (whole / 100);
    return static_cast<uint8_t>(std::min<uint64_t>(percent, 100));
}

}  // namespace

std::wstring RecoverabilityText(const Recoverability& value) {
    switch (value.state) {
    case RecoverState::Intact: return L"intact";
    case RecoverState::Partial: return FormatWide(L"%u%%", static_cast<unsigned>(value.freePercent));
    case RecoverState::Overwritten: return L"overwritten";
    case RecoverState::Damaged: return L"damaged";
    case RecoverState::Unknown: break;
    }
    return L"unknown";
}

uint64_t StoredBytesIn(NTFSAttributeBase* data, uint32_t clusterSize, const std::vector<DamagedSpan>& spans) {
    NTFSAttributeNonResident* stream = spans.empty() ? nullptr : StoredStream(data, clusterSize);
    if (!stream) return 0;
    uint64_t bytes = 0;
    ForEachStoredPiece(*stream, clusterSize, [&](uint64_t lcn, uint64_t clusters) {
        if (lcn > UINT64_MAX / clusterSize || clusters > (UINT64_MAX - lcn * clusterSize) / clusterSize) return;
        for (const DamagedSpan& span : spans) bytes += Overlap(lcn * clusterSize, clusters * clusterSize, span);
    });
    return bytes;
}

bool StoredPast(NTFSAttributeBase* data, uint32_t clusterSize, uint64_t end) {
    NTFSAttributeNonResident* stream = StoredStream(data, clusterSize);
    if (!stream) return false;
    bool past = false;
    ForEachStoredPiece(*stream, clusterSize, [&](uint64_t lcn, uint64_t clusters) {
        past = past || lcn > UINT64_MAX - clusters || (lcn + clusters) > end / clusterSize;
    });
    return past;
}

Recoverability JudgeRecoverability(NTFSAttributeBase* data, NTFSClusterBitmap& bitmap, uint32_t clusterSize,
                                   const SourceLimits& limits) {
    if (!data || !bitmap.IsReadable() || clusterSize == 0) return {};
    if (!data->IsNonResident()) return {RecoverState::Intact, 0};
    auto* stream = dynamic_cast<NTFSAttributeNonResident*>(data);
    if (!stream) return {};

    const uint64_t end = DataClusters(*stream, clusterSize);
    uint64_t named = 0;   // clusters below `end` that some run names, sparse or stored
    uint64_t stored = 0;  // of them, those on the volume
    uint64_t inUse = 0;
    for (const tagNTFSDataRunEntry& run : stream->GetDataRuns()) {
        if (run.StartVCN >= end || run.Clusters == 0) continue;
        const uint64_t n = std::min(run.Clusters, end - run.StartVCN);
        named += n;
        if (run.LCN < 0) continue;
        stored += n;
        // Clusters past the source's end cannot be read back, whatever the bitmap says.
        const uint64_t lcn = static_cast<uint64_t>(run.LCN);
        const uint64_t held = lcn >= limits.heldClusters ? 0 : std::min(n, limits.heldClusters - lcn);
        inUse += n - held;
        if (held == 0) continue;
        std::optional<uint64_t> used = bitmap.CountInUse(lcn, held);
        if (!used) return {};
        inUse += *used;
    }
    // Pieces never overlap, so `named` cannot pass `end`; what it lacks, no run names any more.
    const uint64_t lost = inUse + (end - std::min(named, end));
    const uint64_t counted = stored + (end - std::min(named, end));
    if (lost >= counted && lost != 0) return {RecoverState::Overwritten, 0};
    if (StoredBytesIn(data, clusterSize, limits.damaged) != 0) return {RecoverState::Damaged, 0};
    if (lost == 0) return {RecoverState::Intact, 0};
    return {RecoverState::Partial, PercentOf(counted - lost, counted)};
}

}  // namespace Vorlaq

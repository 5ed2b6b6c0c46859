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
    case RecoverState::Unknown: break;
    }
    return L"unknown";
}

Recoverability JudgeRecoverability(NTFSAttributeBase* data, NTFSClusterBitmap& bitmap, uint32_t clusterSize) {
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
        std::optional<uint64_t> used = bitmap.CountInUse(static_cast<uint64_t>(run.LCN), n);
        if (!used) return {};
        inUse += *used;
    }
    // Pieces never overlap, so `named` cannot pass `end`; what it lacks, no run names any more.
    const uint64_t lost = inUse + (end - std::min(named, end));
    const uint64_t counted = stored + (end - std::min(named, end));
    if (lost == 0) return {RecoverState::Intact, 0};
    if (lost >= counted) return {RecoverState::Overwritten, 0};
    return {RecoverState::Partial, PercentOf(counted - lost, counted)};
}

}  // namespace Vorlaq

#include "scan/ChangeJournal.h"

#include <algorithm>
#include <vector>

#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

constexpr wchar_t kJournalName[] = L"$UsnJrnl";
constexpr wchar_t kJournalStream[] = L"$J";
constexpr uint32_t kChunk = 1u << 20;
// A record cut by a chunk's end is carried into the next read; one longer than this is not a record.
constexpr size_t kMaxCarry = 0x10000;

uint64_t FindIn(NTFSSingleList<NTFSIndexEntry>& entries) {
    for (NTFSIndexEntry* entry = entries.FindFirstEntry(); entry; entry = entries.FindNextEntry())
        if (entry->GetNameSpace() != 2 && entry->Compare(kJournalName) == 0) return entry->GetFileReference();
    return 0;
}

// $UsnJrnl's file reference from $Extend's index; 0 when it is not there.
uint64_t FindJournalRecord(const NTFSVolume& volume) {
    NTFSFileRecord extend(&volume);
    extend.SetAttrMask(NTFSAttrMaskBit(kNTFSAttrIndexRoot) | NTFSAttrMaskBit(kNTFSAttrIndexAllocation));
    if (!extend.ReadFileRecord(kNTFSExtendRecord) || !extend.ParseAttrs() || !extend.IsDirectory()) return 0;
    if (auto* root = dynamic_cast<NTFSAttributeIndexRoot*>(extend.FindFirstAttr(kNTFSAttrIndexRoot)))
        if (uint64_t found = FindIn(*root)) return found;
    auto* allocation = dynamic_cast<NTFSAttributeIndexAllocation*>(extend.FindFirstAttr(kNTFSAttrIndexAllocation));
    if (!allocation) return 0;
    for (uint64_t block = allocation->NextStoredBlock(0); block < allocation->GetIndexBlockCount();
         block = allocation->NextStoredBlock(block + 1)) {
        NTFSIndexBlock entries;
        if (!allocation->ReadIndexBlock(block, &entries)) continue;
        if (uint64_t found = FindIn(entries)) return found;
    }
    return 0;
}

struct Range {
    uint64_t begin;
    uint64_t end;
};

// The byte ranges of `stream` that are stored (not sparse), within its data size.
std::vector<Range> StoredRanges(NTFSAttributeBase& stream, uint64_t size, uint32_t clusterSize) {
    auto* nonResident = dynamic_cast<NTFSAttributeNonResident*>(&stream);
    if (!nonResident) return {{0, size}};
    std::vector<Range> ranges;
    for (const tagNTFSDataRunEntry& run : nonResident->GetDataRuns()) {
        if (run.LCN < 0 || run.Clusters == 0 || run.StartVCN > size / clusterSize) continue;
        const uint64_t begin = run.StartVCN * clusterSize;
        const uint64_t end = run.Clusters > (size - begin) / clusterSize ? size : begin + run.Clusters * clusterSize;
        ranges.push_back({begin, end});
    }
    return ranges;
}

}  // namespace

ChangeJournalCounts ReadChangeJournal(const NTFSVolume& volume, const std::function<void(const NTFSUsnRecord&)>& sink,
                                      const std::atomic<bool>* stop) {
    ChangeJournalCounts counts;
    const uint64_t journalRef = FindJournalRecord(volume);
    if (journalRef == 0 || volume.GetClusterSize() == 0) return counts;
    NTFSFileRecord journal(&volume);
    journal.SetAttrMask(kNTFSMaskData);
    if (!journal.ReadFileRecord(journalRef & kNTFSRecordNumberMask) || journal.IsDeleted() || !journal.ParseAttrs())
        return counts;
    NTFSAttributeBase* stream = journal.FindStream(kJournalStream);
    if (!stream) return counts;
    counts.found = true;

    std::vector<uint8_t> buffer;
    std::vector<NTFSUsnRecord> records;
    for (const Range& range : StoredRanges(*stream, stream->GetDataSize(), volume.GetClusterSize())) {
        buffer.clear();
        for (uint64_t at = range.begin; at < range.end;) {
            if (stop && stop->load(std::memory_order_relaxed)) return counts;
            const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kChunk, range.end - at));
            const size_t carried = buffer.size();
            buffer.resize(carried + want);
            uint32_t got = 0;
            if (!stream->ReadData(at, buffer.data() + carried, want, &got) || got == 0) break;
            buffer.resize(carried + got);
            at += got;
            counts.bytesRead += got;
            records.clear();
            const size_t used = ParseUsnRecords(ByteReader(buffer.data(), buffer.size()), &records);
            for (const NTFSUsnRecord& record : records) sink(record);
            counts.records += records.size();
            const size_t left = buffer.size() - used;
            if (left > kMaxCarry) buffer.clear();
            else buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
        }
    }
    return counts;
}

}  // namespace Vorlaq

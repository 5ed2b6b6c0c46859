#include "scan/TraceScan.h"

#include <map>
#include <utility>

#include "base/os/Time.h"
#include "ntfs/NTFSFileName.h"
#include "scan/FilePathBuilder.h"
#include "scan/TraceCollector.h"
#include "scan/TraceJudge.h"
#include "scan/TraceSources.h"

namespace Vorlaq {

namespace {

void FillTimes(DeletedFileInfo& row, const ByteReader& bytes) {
    NTFSFileName name(bytes);
    uint64_t modified = 0, created = 0, accessed = 0;
    name.GetFileTime(&modified, &created, &accessed);
    row.SetModifiedTime(modified);
    row.SetCreationTime(created);
    row.SetAccessTime(accessed);
    row.SetSize(name.GetFileSize());
    row.SetReadOnly(name.IsReadOnly());
    NTFSStandardTimes times;
    times.created = *bytes.U64(0x08);
    times.modified = *bytes.U64(0x10);
    times.changed = *bytes.U64(0x18);
    times.accessed = *bytes.U64(0x20);
    row.SetStandardTimes(times);
}

}  // namespace

std::vector<std::unique_ptr<DeletedFileInfo>> ScanTraces(const NTFSVolume& volume, const std::wstring& volumeText,
                                                         const FileFilter& filter, const std::atomic<bool>& stop,
                                                         TraceScanCounts* counts) {
    TraceCollector collector(volume, stop);
    collector.Walk();
    collector.ReadJournal();

    TraceJudge judge(volume);
    DirectoryPathCache paths(volume);
    std::vector<std::unique_ptr<DeletedFileInfo>> rows;
    std::map<std::pair<uint64_t, std::wstring>, DeletedFileInfo*> byName;
    collector.SortHeldNames();
    for (TraceCandidate& c : collector.Candidates()) {
        if (stop.load(std::memory_order_relaxed)) break;
        if (collector.IsHeldName(c.key)) continue;
        const ByteReader value = collector.ValueOf(c);
        const bool fromJournal = c.valueSize == 0;
        if (!fromJournal) {
            wchar_t buffer[kNTFSMaxNameChars + 1];
            c.name = NameIn(NTFSFileName(value), buffer);
        }
        if (!filter.MatchFile(c.name)) continue;
        if (c.fileRef && !judge.IsInMft(c.fileRef)) {
            if (fromJournal) continue;
            c.fileRef = 0;
        }
        const bool parentKnown = judge.IsFolder(c.parentRef);
        // A slack name whose folder cannot be confirmed is not believed; the journal's records
        // are whole structures of their own, their folder may simply be gone.
        if (!parentKnown && !fromJournal) continue;
        const TraceJudge::Verdict verdict = judge.Judge(c, value);
        if (verdict == TraceJudge::Verdict::Held) continue;
        if (verdict == TraceJudge::Verdict::Renamed) c.source |= kTraceOldName;
        const uint64_t folder = parentKnown ? RecordNumberOf(c.parentRef) : 0;
        auto key = std::make_pair(folder, c.name);
        DeletedFileInfo* row = nullptr;
        if (auto known = byName.find(key); known != byName.end()) {
            row = known->second;
        } else {
            auto made = std::make_unique<DeletedFileInfo>(volumeText, rows.size() + 1, c.name,
                                                          paths.BuildFilePath(kNTFSNoRecord, folder), 0, nullptr,
                                                          nullptr, nullptr);
            row = made.get();
            byName.emplace(std::move(key), row);
            rows.push_back(std::move(made));
        }
        if (!fromJournal && row->GetStandardTimes().created == 0) FillTimes(*row, value);
        if (c.deleted && row->GetDeletionTime() == 0) row->SetDeletionTime(ToLocal(c.deleted));
        row->SetTraceSources(static_cast<uint8_t>(row->GetTraceSources() | c.source));
    }
    if (counts) {
        *counts = collector.Counts();
        counts->rows = rows.size();
    }
    return rows;
}

}  // namespace Vorlaq

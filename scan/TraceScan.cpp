#include "scan/TraceScan.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

#include "base/os/Time.h"
#include "ntfs/NTFSAttributeBitmap.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSSlackNames.h"
#include "scan/ChangeJournal.h"
#include "scan/FilePathBuilder.h"
#include "scan/MftRecordReader.h"
#include "scan/TraceSources.h"

namespace Vorlaq {

namespace {

uint64_t RecordOf(uint64_t ref) { return ref & kNTFSRecordNumberMask; }
uint16_t SequenceOf(uint64_t ref) { return static_cast<uint16_t>(ref >> 48); }

// One name seen in traces, before it is checked against the records it names. A walk over a
// big volume finds many (every deleted file's entry in its folder's slack), so a slack name keeps
// its $FILE_NAME value in the collector's one buffer and is decoded only once it is believed.
struct Candidate {
    uint64_t key = 0;         // NameKey of its folder and name
    uint64_t parentRef = 0;
    uint64_t fileRef = 0;     // 0 when the trace does not say (a $FILE_NAME attribute)
    uint64_t holder = 0;      // the record whose slack held it (record slack)
    size_t valueAt = 0;       // the $FILE_NAME value in the collector's buffer
    size_t valueSize = 0;     // 0 for a journal record
    std::wstring name;        // a journal record's; a slack name's once decoded
    uint64_t deleted = 0;     // the journal's time stamp (UTC)
    uint8_t source = 0;
};

// The name of a $FILE_NAME value or index entry, in `buffer`; empty for none.
std::wstring_view NameIn(const NTFSFileName& value, wchar_t (&buffer)[kNTFSMaxNameChars + 1]) {
    const int length = value.GetFileName(buffer, kNTFSMaxNameChars);
    return length > 0 ? std::wstring_view(buffer, static_cast<size_t>(length)) : std::wstring_view();
}

// One 64-bit key for a name in a folder: the names of a million deleted files fit in a few
// megabytes this way. A collision only drops a trace, never makes one up.
uint64_t NameKey(uint64_t folder, std::wstring_view name) {
    return std::hash<std::wstring_view>()(name) ^ (folder * 0x9E3779B97F4A7C15ull);
}

class TraceCollector {
public:
    TraceCollector(const NTFSVolume& volume, const std::atomic<bool>& stop) : volume_(volume), stop_(stop) {}

    void Walk() {
        const uint64_t total = volume_.GetRecordsCount();
        MftRecordReader records(volume_, total);
        NTFSFileRecord record(&volume_);
        for (uint64_t n = 0; n < total && !stop_.load(std::memory_order_relaxed); ++n) {
            record.SetAttrMask(NTFSAttrMaskBit(kNTFSAttrIndexRoot) | NTFSAttrMaskBit(kNTFSAttrIndexAllocation) |
                               NTFSAttrMaskBit(kNTFSAttrBitmap));
            const bool loaded = n < kNTFSFirstUserRecord ? record.ReadFileRecord(n) : records.LoadSound(record, n);
            if (!loaded) continue;
            CarveRecord(record, n);
            if (record.GetBaseRecordRef() != 0) continue;
            if (record.IsDeleted()) KeepDeletedNames(record);
            else if (record.IsDirectory()) CarveIndex(record, n);
        }
    }

    // After the walk: the held names sorted for lookup.
    void SortHeldNames() { std::sort(heldNames_.begin(), heldNames_.end()); }

    // A live index entry or a deleted record still holds this name in this folder (NameKey): a
    // file in use, one the scan lists, or a folder (which shows in its files' paths).
    bool IsHeldName(uint64_t key) const { return std::binary_search(heldNames_.begin(), heldNames_.end(), key); }

    ByteReader ValueOf(const Candidate& c) const { return ByteReader(values_.data() + c.valueAt, c.valueSize); }

    void ReadJournal() {
        counts_.journal = ReadChangeJournal(
            volume_,
            [this](const NTFSUsnRecord& usn) {
                uint8_t source = 0;
                if (usn.reason & kUsnReasonFileDelete) source = kTraceUsn;
                else if (usn.reason & kUsnReasonRenameOldName) source = kTraceUsn | kTraceOldName;
                if (!source || usn.name.empty() || (usn.fileAttributes & kUsnFileAttributeDirectory)) return;
                if (usn.fileRefHigh != 0 || usn.parentRefHigh != 0) return;  // not an NTFS file reference
                Candidate c;
                c.name = usn.name;
                c.key = NameKey(RecordOf(usn.parentRefLow), c.name);
                c.parentRef = usn.parentRefLow;
                c.fileRef = usn.fileRefLow;
                c.deleted = (source & kTraceOldName) ? 0 : usn.timeStamp;
                c.source = source;
                Add(std::move(c));
            },
            &stop_).found;
    }

    std::vector<Candidate>& Candidates() { return candidates_; }
    TraceScanCounts& Counts() { return counts_; }

private:
    void Add(Candidate c) {
        ++counts_.candidates;
        candidates_.push_back(std::move(c));
    }

    void AddSlackName(const NTFSSlackName& found, uint8_t source, uint64_t holder) {
        const NTFSFileName value(found.value);
        // A DOS name's file shows under its long name; a folder's name in its files' paths.
        if (!value.IsWin32Name() || value.IsDirectory()) return;
        wchar_t buffer[kNTFSMaxNameChars + 1];
        const std::wstring_view name = NameIn(value, buffer);
        if (name.empty()) return;
        Candidate c;
        c.parentRef = *found.value.U64(0x00);
        c.key = NameKey(RecordOf(c.parentRef), name);
        c.fileRef = found.fileRef;
        c.holder = holder;
        c.valueAt = values_.size();
        c.valueSize = found.value.size();
        values_.insert(values_.end(), found.value.data(), found.value.data() + found.value.size());
        c.source = source;
        Add(std::move(c));
    }

    void KeepDeletedNames(NTFSFileRecord& record) {
        record.SetAttrMask(kNTFSMaskFileName);
        if (!record.ParseAttrs()) return;
        wchar_t buffer[kNTFSMaxNameChars + 1];
        for (NTFSAttributeBase* a = record.FindFirstAttr(kNTFSAttrFileName); a; a = record.FindNextAttr(kNTFSAttrFileName))
            if (auto* name = dynamic_cast<NTFSFileName*>(a))
                if (const std::wstring_view text = NameIn(*name, buffer); !text.empty())
                    heldNames_.push_back(NameKey(RecordOf(name->GetParentRef()), text));
    }

    void CarveRecord(NTFSFileRecord& record, uint64_t n) {
        // A lone key says neither its file nor, here, which record's index it belonged to.
        for (const NTFSSlackName& found : CarveFileNames(FileRecordSlack(record.GetBytes())))
            if (found.form != NTFSSlackForm::Key) AddSlackName(found, kTraceRecordSlack, n);
    }

    // The slack of every block of a folder's index; a name there must name this folder, with its
    // sequence number, as its parent. The folder's live entries are kept as held names: deleting
    // an entry shifts the ones after it, leaving copies of them behind.
    void CarveIndex(NTFSFileRecord& folder, uint64_t n) {
        if (!folder.ParseAttrs()) return;
        if (auto* root = dynamic_cast<NTFSAttributeIndexRoot*>(folder.FindFirstAttr(kNTFSAttrIndexRoot))) KeepLiveNames(*root, n);
        auto* allocation = dynamic_cast<NTFSAttributeIndexAllocation*>(folder.FindFirstAttr(kNTFSAttrIndexAllocation));
        if (!allocation) return;
        const uint16_t sequence = folder.GetSequenceNumber();
        for (uint64_t b = 0; b < allocation->GetIndexBlockCount() && !stop_.load(std::memory_order_relaxed); ++b) {
            if (!allocation->ReadIndexBlock(b, &block_)) continue;
            // A block the index no longer uses is slack from its first entry on.
            const bool used = BlockInUse(folder, b);
            if (used) KeepLiveNames(block_, n);
            const std::vector<uint8_t>& bytes = block_.Buffer();
            const ByteReader whole(bytes.data(), bytes.size());
            for (const NTFSSlackName& found : CarveFileNames(used ? IndexBlockSlack(whole) : IndexBlockNode(whole))) {
                const uint64_t parent = *found.value.U64(0x00);
                if (found.form != NTFSSlackForm::Attribute && RecordOf(parent) == n && SequenceOf(parent) == sequence)
                    AddSlackName(found, kTraceIndexSlack, n);
            }
        }
    }

    // The index's $BITMAP says block `b` is in use; without a readable one every block counts as used.
    static bool BlockInUse(NTFSFileRecord& folder, uint64_t b) {
        NTFSAttributeBase* bitmap = folder.FindFirstAttr(kNTFSAttrBitmap);
        bool set = true;
        if (auto* resident = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeResident>*>(bitmap)) {
            if (!resident->IsBitSet(b, &set)) return true;
        } else if (auto* stored = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeNonResident>*>(bitmap)) {
            if (!stored->IsBitSet(b, &set)) return true;
        }
        return set;
    }

    void KeepLiveNames(NTFSSingleList<NTFSIndexEntry>& entries, uint64_t folder) {
        wchar_t buffer[kNTFSMaxNameChars + 1];
        for (NTFSIndexEntry* entry = entries.FindFirstEntry(); entry; entry = entries.FindNextEntry())
            if (const std::wstring_view text = NameIn(*entry, buffer); !text.empty())
                heldNames_.push_back(NameKey(folder, text));
    }

    const NTFSVolume& volume_;
    const std::atomic<bool>& stop_;
    NTFSIndexBlock block_;
    std::vector<Candidate> candidates_;
    std::vector<uint8_t> values_;
    std::vector<uint64_t> heldNames_;
    TraceScanCounts counts_;
};

// The checks that need other records, each record read at most once.
class TraceJudge {
public:
    explicit TraceJudge(const NTFSVolume& volume)
        : volume_(volume), record_(&volume), total_(volume.GetRecordsCount()), bytes_(volume.GetFileRecordSize()) {}

    // A file reference inside the MFT; one beyond it comes from an entry header partly written
    // over, which says nothing about the file.
    bool IsInMft(uint64_t ref) const { return RecordOf(ref) < total_; }

    // The parent reference names a folder record of that sequence number (one deleted since
    // counts too: deleting bumps the number by one).
    bool IsFolder(uint64_t parentRef) {
        const Facts& facts = Read(RecordOf(parentRef));
        if (!facts.read || !facts.directory) return false;
        const uint16_t wanted = SequenceOf(parentRef);
        return facts.sequence == wanted || (facts.deleted && facts.sequence == static_cast<uint16_t>(wanted + 1));
    }

    enum class Verdict { Gone, Held, Renamed };

    // Held: a record holds this name in this folder (a deleted file the scan lists, a slack copy
    // of a live entry). Renamed: the file's record still holds the file, under another name: it
    // is in use with the trace's sequence number or, for a $FILE_NAME attribute from record slack
    // (which names no file), its file was made at the trace's creation time. Gone otherwise.
    Verdict Judge(const Candidate& c, const ByteReader& value) {
        // An index entry without its file reference has no record to ask: the held names were all
        // there was to check.
        if (c.fileRef == 0 && c.source == kTraceIndexSlack) return Verdict::Gone;
        const uint64_t number = c.fileRef ? RecordOf(c.fileRef) : c.holder;
        const Facts& facts = Read(number);
        if (!facts.read) return Verdict::Gone;
        for (const auto& [name, parent] : facts.names)
            if (name == c.name && RecordOf(parent) == RecordOf(c.parentRef)) return Verdict::Held;
        if (c.fileRef) return !facts.deleted && facts.sequence == SequenceOf(c.fileRef) ? Verdict::Renamed : Verdict::Gone;
        const uint64_t created = value.U64(0x08).value_or(0);
        return !facts.deleted && created != 0 && created == facts.created ? Verdict::Renamed : Verdict::Gone;
    }

private:
    struct Facts {
        bool read = false;
        bool deleted = false;
        bool directory = false;
        uint16_t sequence = 0;
        uint64_t created = 0;  // $STANDARD_INFORMATION, UTC
        std::vector<std::pair<std::wstring, uint64_t>> names;
    };

    const Facts& Read(uint64_t number) {
        if (auto known = facts_.find(number); known != facts_.end()) return known->second;
        Facts facts;
        record_.SetAttrMask(kNTFSMaskFileName);
        if (Load(number) && record_.ParseAttrs()) {
            facts.read = true;
            facts.deleted = record_.IsDeleted();
            facts.directory = record_.IsDirectory();
            facts.sequence = record_.GetSequenceNumber();
            facts.created = record_.GetStandardTimes().created;
            for (NTFSAttributeBase* a = record_.FindFirstAttr(kNTFSAttrFileName); a;
                 a = record_.FindNextAttr(kNTFSAttrFileName)) {
                auto* name = dynamic_cast<NTFSFileName*>(a);
                wchar_t buffer[kNTFSMaxNameChars + 1];
                const int length = name ? name->GetFileName(buffer, kNTFSMaxNameChars) : 0;
                if (length > 0) facts.names.emplace_back(std::wstring(buffer, static_cast<size_t>(length)), name->GetParentRef());
            }
        }
        return facts_.emplace(number, std::move(facts)).first->second;
    }

    // Reads record `number` only when its bytes are sound, so that asking about records a trace
    // names (never used, torn) logs nothing.
    bool Load(uint64_t number) {
        if (!volume_.IsVolumeOK() || number >= total_) return false;
        if (number < kNTFSFirstUserRecord || !volume_.HasMFTData()) return record_.ReadFileRecord(number);
        uint32_t got = 0;
        if (!volume_.GetMFTData()->ReadData(number * bytes_.size(), bytes_.data(), static_cast<uint32_t>(bytes_.size()), &got) ||
            got != bytes_.size() || !ReadRecordHeader(bytes_.data(), bytes_.size()).sound)
            return false;
        return record_.LoadFileRecord(number, bytes_.data(), bytes_.size());
    }

    const NTFSVolume& volume_;
    NTFSFileRecord record_;
    uint64_t total_;
    std::vector<uint8_t> bytes_;
    std::map<uint64_t, Facts> facts_;
};

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
    for (Candidate& c : collector.Candidates()) {
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
        const uint64_t folder = parentKnown ? RecordOf(c.parentRef) : 0;
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

#include "scan/TraceCollector.h"

#include <algorithm>
#include <functional>

#include "ntfs/NTFSAttributeBitmap.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSRecordHeader.h"
#include "scan/ChangeJournal.h"
#include "scan/MftRecordReader.h"
#include "scan/TraceSources.h"

namespace Vorlaq {

std::wstring_view NameIn(const NTFSFileName& value, wchar_t (&buffer)[kNTFSMaxNameChars + 1]) {
    const int length = value.GetFileName(buffer, kNTFSMaxNameChars);
    return length > 0 ? std::wstring_view(buffer, static_cast<size_t>(length)) : std::wstring_view();
}

uint64_t NameKey(uint64_t folder, std::wstring_view name) {
    return std::hash<std::wstring_view>()(name) ^ (folder * 0x9E3779B97F4A7C15ull);
}

void TraceCollector::Walk() {
    const uint64_t total = volume_.GetRecordsCount();
    const uint32_t size = volume_.GetFileRecordSize();
    NTFSFileRecord record(&volume_);
    const uint32_t mask = NTFSAttrMaskBit(kNTFSAttrIndexRoot) | NTFSAttrMaskBit(kNTFSAttrIndexAllocation) |
                          NTFSAttrMaskBit(kNTFSAttrBitmap);
    auto visit = [&](uint64_t n) {
        CarveRecord(record, n);
        if (record.GetBaseRecordRef() != 0) return;
        if (record.IsDeleted()) KeepDeletedNames(record);
        else if (record.IsDirectory()) CarveIndex(record, n);
    };
    for (uint64_t n = 0; n < std::min(total, kNTFSFirstUserRecord) && !stop_.load(std::memory_order_relaxed); ++n) {
        record.SetAttrMask(mask);
        if (record.ReadFileRecord(n)) visit(n);
    }
    // Most records are files in use whose slack holds nothing: they are looked at as read, and
    // loaded (fixed up) only when there is more to do. Records the first walk could not read in a
    // block, or whose bytes are not sound, logged what is wrong with them there: they are left.
    MftRecordReader records(volume_, total);
    MftBlock block;
    while (!stop_.load(std::memory_order_relaxed) && records.Next(block)) {
        for (uint64_t i = 0; i < block.held && !stop_.load(std::memory_order_relaxed); ++i) {
            const uint64_t n = block.first + i;
            const uint8_t* raw = block.bytes.data() + i * size;
            const NTFSRecordHeader header = ReadRecordHeader(raw, size);
            if (!header.sound) continue;
            const bool named = !CarveFileNames(FileRecordSlack(ByteReader(raw, size))).empty();
            if (!named && (header.baseRef != 0 || header.IsLiveFile())) continue;
            record.SetAttrMask(mask);
            if (record.LoadFileRecord(n, raw, size)) visit(n);
        }
    }
}

void TraceCollector::SortHeldNames() { std::sort(heldNames_.begin(), heldNames_.end()); }

bool TraceCollector::IsHeldName(uint64_t key) const {
    return std::binary_search(heldNames_.begin(), heldNames_.end(), key);
}

void TraceCollector::ReadJournal() {
    counts_.journal = ReadChangeJournal(
        volume_,
        [this](const NTFSUsnRecord& usn) {
            uint8_t source = 0;
            if (usn.reason & kUsnReasonFileDelete) source = kTraceUsn;
            else if (usn.reason & kUsnReasonRenameOldName) source = kTraceUsn | kTraceOldName;
            if (!source || usn.name.empty() || (usn.fileAttributes & kUsnFileAttributeDirectory)) return;
            if (usn.fileRefHigh != 0 || usn.parentRefHigh != 0) return;  // not an NTFS file reference
            TraceCandidate c;
            c.name = usn.name;
            c.key = NameKey(RecordNumberOf(usn.parentRefLow), c.name);
            c.parentRef = usn.parentRefLow;
            c.fileRef = usn.fileRefLow;
            c.deleted = (source & kTraceOldName) ? 0 : usn.timeStamp;
            c.source = source;
            Add(std::move(c));
        },
        &stop_).found;
}

void TraceCollector::Add(TraceCandidate c) {
    ++counts_.candidates;
    candidates_.push_back(std::move(c));
}

void TraceCollector::AddSlackName(const NTFSSlackName& found, uint8_t source, uint64_t holder) {
    const NTFSFileName value(found.value);
    // A DOS name's file shows under its long name; a folder's name in its files' paths.
    if (!value.IsWin32Name() || value.IsDirectory()) return;
    wchar_t buffer[kNTFSMaxNameChars + 1];
    const std::wstring_view name = NameIn(value, buffer);
    if (name.empty()) return;
    TraceCandidate c;
    c.parentRef = *found.value.U64(0x00);
    c.key = NameKey(RecordNumberOf(c.parentRef), name);
    c.fileRef = found.fileRef;
    c.holder = holder;
    c.valueAt = values_.size();
    c.valueSize = found.value.size();
    values_.insert(values_.end(), found.value.data(), found.value.data() + found.value.size());
    c.source = source;
    Add(std::move(c));
}

void TraceCollector::KeepDeletedNames(NTFSFileRecord& record) {
    record.SetAttrMask(kNTFSMaskFileName);
    if (!record.ParseAttrs()) return;
    wchar_t buffer[kNTFSMaxNameChars + 1];
    for (NTFSAttributeBase* a = record.FindFirstAttr(kNTFSAttrFileName); a; a = record.FindNextAttr(kNTFSAttrFileName))
        if (auto* name = dynamic_cast<NTFSFileName*>(a))
            if (const std::wstring_view text = NameIn(*name, buffer); !text.empty())
                heldNames_.push_back(NameKey(RecordNumberOf(name->GetParentRef()), text));
}

void TraceCollector::CarveRecord(NTFSFileRecord& record, uint64_t n) {
    // A lone key says neither its file nor, here, which record's index it belonged to.
    for (const NTFSSlackName& found : CarveFileNames(FileRecordSlack(record.GetBytes())))
        if (found.form != NTFSSlackForm::Key) AddSlackName(found, kTraceRecordSlack, n);
}

void TraceCollector::CarveIndex(NTFSFileRecord& folder, uint64_t n) {
    if (!folder.ParseAttrs()) return;
    if (auto* root = dynamic_cast<NTFSAttributeIndexRoot*>(folder.FindFirstAttr(kNTFSAttrIndexRoot))) KeepLiveNames(*root, n);
    auto* allocation = dynamic_cast<NTFSAttributeIndexAllocation*>(folder.FindFirstAttr(kNTFSAttrIndexAllocation));
    if (!allocation) return;
    const uint16_t sequence = folder.GetSequenceNumber();
    for (uint64_t b = allocation->NextStoredBlock(0);
         b < allocation->GetIndexBlockCount() && !stop_.load(std::memory_order_relaxed);
         b = allocation->NextStoredBlock(b + 1)) {
        if (!allocation->ReadIndexBlock(b, &block_)) continue;
        // A block the index no longer uses is slack from its first entry on.
        const bool used = BlockInUse(folder, b);
        if (used) KeepLiveNames(block_, n);
        const std::vector<uint8_t>& bytes = block_.Buffer();
        const ByteReader whole(bytes.data(), bytes.size());
        for (const NTFSSlackName& found : CarveFileNames(used ? IndexBlockSlack(whole) : IndexBlockNode(whole))) {
            const uint64_t parent = *found.value.U64(0x00);
            if (found.form != NTFSSlackForm::Attribute && RecordNumberOf(parent) == n && SequenceNumberOf(parent) == sequence)
                AddSlackName(found, kTraceIndexSlack, n);
        }
    }
}

bool TraceCollector::BlockInUse(NTFSFileRecord& folder, uint64_t b) {
    NTFSAttributeBase* bitmap = folder.FindFirstAttr(kNTFSAttrBitmap);
    bool set = true;
    if (auto* resident = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeResident>*>(bitmap)) {
        if (!resident->IsBitSet(b, &set)) return true;
    } else if (auto* stored = dynamic_cast<NTFSAttributeBitmap<NTFSAttributeNonResident>*>(bitmap)) {
        if (!stored->IsBitSet(b, &set)) return true;
    }
    return set;
}

void TraceCollector::KeepLiveNames(NTFSSingleList<NTFSIndexEntry>& entries, uint64_t folder) {
    wchar_t buffer[kNTFSMaxNameChars + 1];
    for (NTFSIndexEntry* entry = entries.FindFirstEntry(); entry; entry = entries.FindNextEntry())
        if (const std::wstring_view text = NameIn(*entry, buffer); !text.empty())
            heldNames_.push_back(NameKey(folder, text));
}

}  // namespace Vorlaq

#include "scan/TraceJudge.h"

#include "ntfs/NTFSRecordHeader.h"
#include "scan/TraceSources.h"

namespace Vorlaq {

bool TraceJudge::IsFolder(uint64_t parentRef) {
    const Facts& facts = Read(RecordNumberOf(parentRef));
    if (!facts.read || !facts.directory) return false;
    const uint16_t wanted = SequenceNumberOf(parentRef);
    return facts.sequence == wanted || (facts.deleted && facts.sequence == static_cast<uint16_t>(wanted + 1));
}

TraceJudge::Verdict TraceJudge::Judge(const TraceCandidate& c, const ByteReader& value) {
    // An index entry without its file reference has no record to ask: the held names were all
    // there was to check.
    if (c.fileRef == 0 && c.source == kTraceIndexSlack) return Verdict::Gone;
    const uint64_t number = c.fileRef ? RecordNumberOf(c.fileRef) : c.holder;
    const Facts& facts = Read(number);
    if (!facts.read) return Verdict::Gone;
    for (const auto& [name, parent] : facts.names)
        if (name == c.name && RecordNumberOf(parent) == RecordNumberOf(c.parentRef)) return Verdict::Held;
    if (c.fileRef) return !facts.deleted && facts.sequence == SequenceNumberOf(c.fileRef) ? Verdict::Renamed : Verdict::Gone;
    const uint64_t created = value.U64(0x08).value_or(0);
    return !facts.deleted && created != 0 && created == facts.created ? Verdict::Renamed : Verdict::Gone;
}

const TraceJudge::Facts& TraceJudge::Read(uint64_t number) {
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

bool TraceJudge::Load(uint64_t number) {
    if (!volume_.IsVolumeOK() || number >= total_) return false;
    if (number < kNTFSFirstUserRecord || !volume_.HasMFTData()) return record_.ReadFileRecord(number);
    uint32_t got = 0;
    if (!volume_.GetMFTData()->ReadData(number * bytes_.size(), bytes_.data(), static_cast<uint32_t>(bytes_.size()), &got) ||
        got != bytes_.size() || !ReadRecordHeader(bytes_.data(), bytes_.size()).sound)
        return false;
    return record_.LoadFileRecord(number, bytes_.data(), bytes_.size());
}

}  // namespace Vorlaq

#pragma once
// The gathering half of a trace scan (TraceScan.h): one walk over the MFT that carves $FILE_NAMEs
// from every record's slack and from the slack of every folder's index blocks, then the change
// journal's deletions and old names; and, on the way, the names records and live index entries
// still hold, against which the candidates are checked.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSIndexEntry.h"
#include "ntfs/NTFSSlackNames.h"
#include "ntfs/NTFSVolume.h"
#include "scan/TraceScan.h"

namespace Vorlaq {

inline uint64_t RecordNumberOf(uint64_t ref) { return ref & kNTFSRecordNumberMask; }
inline uint16_t SequenceNumberOf(uint64_t ref) { return static_cast<uint16_t>(ref >> 48); }

// One name seen in traces, before it is checked against the records it names. A walk over a
// big volume finds many (every deleted file's entry in its folder's slack), so a slack name keeps
// its $FILE_NAME value in the collector's one buffer and is decoded only once it is believed.
struct TraceCandidate {
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
std::wstring_view NameIn(const NTFSFileName& value, wchar_t (&buffer)[kNTFSMaxNameChars + 1]);

// One 64-bit key for a name in a folder: the names of a million deleted files fit in a few
// megabytes this way. A collision only drops a trace, never makes one up.
uint64_t NameKey(uint64_t folder, std::wstring_view name);

// The candidates, in the order found, and the names held (NameKey), for one volume.
class TraceCollector {
public:
    TraceCollector(const NTFSVolume& volume, const std::atomic<bool>& stop) : volume_(volume), stop_(stop) {}

    // Every record from 0 to the last, in order; stops between records once `stop` is set.
    void Walk();

    // After the walk: the held names sorted for lookup.
    void SortHeldNames();

    // A live index entry or a deleted record still holds this name in this folder (NameKey): a
    // file in use, one the scan lists, or a folder (which shows in its files' paths).
    bool IsHeldName(uint64_t key) const;

    ByteReader ValueOf(const TraceCandidate& c) const { return ByteReader(values_.data() + c.valueAt, c.valueSize); }

    // The journal's deletions and renames' old names (folders left out), after the walk's names.
    void ReadJournal();

    std::vector<TraceCandidate>& Candidates() { return candidates_; }
    TraceScanCounts& Counts() { return counts_; }

private:
    void Add(TraceCandidate c);

    void AddSlackName(const NTFSSlackName& found, uint8_t source, uint64_t holder);

    void KeepDeletedNames(NTFSFileRecord& record);

    void CarveRecord(NTFSFileRecord& record, uint64_t n);

    // The slack of every block of a folder's index; a name there must name this folder, with its
    // sequence number, as its parent. The folder's live entries are kept as held names: deleting
    // an entry shifts the ones after it, leaving copies of them behind.
    void CarveIndex(NTFSFileRecord& folder, uint64_t n);

    // The index's $BITMAP says block `b` is in use; without a readable one every block counts as used.
    static bool BlockInUse(NTFSFileRecord& folder, uint64_t b);

    void KeepLiveNames(NTFSSingleList<NTFSIndexEntry>& entries, uint64_t folder);

    const NTFSVolume& volume_;
    const std::atomic<bool>& stop_;
    NTFSIndexBlock block_;
    std::vector<TraceCandidate> candidates_;
    std::vector<uint8_t> values_;
    std::vector<uint64_t> heldNames_;
    TraceScanCounts counts_;
};

}  // namespace Vorlaq

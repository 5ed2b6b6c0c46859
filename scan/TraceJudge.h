#pragma once
// The checking half of a trace scan (TraceScan.h): what the records a candidate names say of it,
// each record read at most once and only when its bytes are sound.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/ByteReader.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/TraceCollector.h"

namespace Vorlaq {

// For one volume, whose records are taken as they are when asked.
class TraceJudge {
public:
    explicit TraceJudge(const NTFSVolume& volume)
        : volume_(volume), record_(&volume), total_(volume.GetRecordsCount()), bytes_(volume.GetFileRecordSize()) {}

    // A file reference inside the MFT; one beyond it comes from an entry header partly written
    // over, which says nothing about the file.
    bool IsInMft(uint64_t ref) const { return RecordNumberOf(ref) < total_; }

    // The parent reference names a folder record of that sequence number (one deleted since
    // counts too: deleting bumps the number by one).
    bool IsFolder(uint64_t parentRef);

    enum class Verdict { Gone, Held, Renamed };

    // Held: a record holds this name in this folder (a deleted file the scan lists, a slack copy
    // of a live entry). Renamed: the file's record still holds the file, under another name: it
    // is in use with the trace's sequence number or, for a $FILE_NAME attribute from record slack
    // (which names no file), its file was made at the trace's creation time. Gone otherwise.
    Verdict Judge(const TraceCandidate& c, const ByteReader& value);

private:
    struct Facts {
        bool read = false;
        bool deleted = false;
        bool directory = false;
        uint16_t sequence = 0;
        uint64_t created = 0;  // $STANDARD_INFORMATION, UTC
        std::vector<std::pair<std::wstring, uint64_t>> names;
    };

    const Facts& Read(uint64_t number);

    // Reads record `number` only when its bytes are sound, so that asking about records a trace
    // names (never used, torn) logs nothing.
    bool Load(uint64_t number);

    const NTFSVolume& volume_;
    NTFSFileRecord record_;
    uint64_t total_;
    std::vector<uint8_t> bytes_;
    std::map<uint64_t, Facts> facts_;
};

}  // namespace Vorlaq

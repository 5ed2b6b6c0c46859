// The parsers of traces: $FILE_NAME carving from index-block and record slack, and change-journal
// records.
#include <vector>

#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSFileName.h"
#include "ntfs/NTFSSlackNames.h"
#include "ntfs/NTFSUpdateSequence.h"
#include "ntfs/NTFSUsnRecord.h"

namespace QuorretFuzz {

using namespace Vorlaq;

namespace {

bool Inside(const ByteReader& part, const ByteReader& whole) {
    return part.size() == 0 ||
           (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void CarveChecked(const ByteReader& slack, const ByteReader& whole) {
    Check(Inside(slack, whole), "slack lies inside its block or record");
    for (const NTFSSlackName& name : CarveFileNames(slack)) {
        Check(Inside(name.value, slack), "a carved name lies inside the slack");
        Check(IsPlausibleFileName(name.value), "a carved name passed the checks");
        const uint8_t units = *name.value.U8(0x40);
        Check(name.value.size() == kNTFSFileNameHeaderSize + 2u * units, "a carved value is as long as its name");
        wchar_t buffer[kNTFSMaxNameChars + 1];
        Check(NTFSFileName(name.value).GetFileName(buffer, kNTFSMaxNameChars) > 0, "a carved name reads back");
        if (name.form != NTFSSlackForm::IndexEntry) Check(name.fileRef == 0, "only an entry names its file");
    }
}

}  // namespace

int FuzzSlackNames(const uint8_t* data, size_t size) {
    // As found (the carver takes any bytes), then fixed up as an index block or record would be.
    const ByteReader raw(data, size);
    CarveChecked(raw, raw);
    std::vector<uint8_t> fixed(data, data + size);
    if (size % kUpdateSequenceBlock == 0) (void)ApplyUpdateSequence(fixed.data(), fixed.size());
    const ByteReader block(fixed.data(), fixed.size());
    CarveChecked(IndexBlockSlack(block), block);
    CarveChecked(IndexBlockNode(block), block);
    CarveChecked(FileRecordSlack(block), block);
    return 0;
}

int FuzzUsnRecords(const uint8_t* data, size_t size) {
    const ByteReader bytes(data, size);
    std::vector<NTFSUsnRecord> records;
    const size_t end = ParseUsnRecords(bytes, &records);
    Check(end <= size, "the walk ends inside the bytes");
    for (const NTFSUsnRecord& r : records) {
        Check(r.length % 8 == 0 && r.length <= size, "a record's length is whole and inside the bytes");
        Check(r.majorVersion >= 2 && r.majorVersion <= 4, "only versions 2 to 4 are read");
        if (r.majorVersion == 4) {
            Check(r.name.empty() && 0x40 + 16 * r.extents.size() <= r.length, "extents lie inside the record");
        } else {
            Check(r.nameBytes % 2 == 0 && r.nameBytes > 0 && r.name.size() <= r.nameBytes / 2u,
                  "a name is whole units, decoded to no more characters");
        }
    }
    return 0;
}

}  // namespace QuorretFuzz

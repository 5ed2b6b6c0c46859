#include "scan/NamedRecord.h"

#include "base/WideFormat.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/FilePathBuilder.h"

namespace Vorlaq {

RecordFitness CheckRestorableRecord(const NTFSVolume& volume, uint64_t recordNumber) {
    if (recordNumber < kNTFSFirstUserRecord) return RecordFitness::SystemFile;
    if (recordNumber >= volume.GetRecordsCount()) return RecordFitness::BeyondMft;
    NTFSFileRecord record(&volume);
    if (!record.ReadFileRecord(recordNumber)) return RecordFitness::Unreadable;
    if (record.IsDirectory()) return RecordFitness::Directory;
    if (!record.IsDeleted()) return RecordFitness::InUse;
    return RecordFitness::Restorable;
}

DeletedFileInfo DescribeNamedRecord(const NTFSVolume& volume, uint64_t recordNumber, bool withPath) {
    std::wstring name;
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName);
    if (record.ReadFileRecord(recordNumber) && record.ParseAttrs()) name = ShownRecordName(record, recordNumber);
    if (name.empty()) name = FormatWide(L"record-%I64u", recordNumber);
    std::wstring path = withPath ? BuildFilePath(volume, recordNumber) : volume.GetVolumePath();
    return DeletedFileInfo(volume.GetVolumePath(), recordNumber, name, path, 0, nullptr, nullptr, nullptr);
}

}  // namespace Vorlaq

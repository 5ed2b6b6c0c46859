#include "scan/RestoreExtras.h"

#include "base/os/FileTimes.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"

namespace Vorlaq {

namespace {
constexpr uint32_t kDataMask = 0x80;
}

std::vector<std::wstring> ListNamedStreams(const VolumeSource& source, uint64_t recordNumber) {
    std::vector<std::wstring> names;
    if (source.IsEmpty()) return names;
    std::unique_ptr<NTFSVolume> volume = source.Open();
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(kDataMask);
    if (!record.ReadFileRecord(recordNumber) || !record.ParseAttrs()) return names;
    for (NTFSAttributeBase* attr = record.FindFirstAttr(kNTFSAttrData); attr; attr = record.FindNextAttr(kNTFSAttrData)) {
        wchar_t name[kNTFSMaxAttrNameChars + 1];
        const int length = attr->GetAttrName(name, kNTFSMaxAttrNameChars);
        if (length > 0) names.emplace_back(name, static_cast<size_t>(length));
    }
    return names;
}

std::wstring StreamDestination(const std::wstring& filePath, const std::wstring& stream, bool namedStreams) {
    const std::wstring safe = SafeFileName(stream);
    if (namedStreams) return filePath + L":" + safe;
    return MakeUniqueFileName(JoinPath(GetParentPath(filePath), GetFileNamePart(filePath) + L"_" + safe));
}

bool KeepRecordTimes(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                     uint32_t* error) {
    if (error) *error = 0;
    if (source.IsEmpty()) return false;
    std::unique_ptr<NTFSVolume> volume = source.Open();
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(0);
    if (!record.ReadFileRecord(recordNumber) || !record.ParseAttrs()) return false;
    const NTFSStandardTimes times = record.GetStandardTimes();
    if (times.modified == 0 && times.accessed == 0 && times.created == 0) return false;
    return SetFileTimes(destPath, times.created, times.modified, times.accessed, error);
}

}  // namespace Vorlaq

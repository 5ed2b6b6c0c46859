#include "scan/RestoreExtras.h"

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

std::vector<std::wstring> ListNamedStreams(const VolumeSource& source, uint64_t recordNumber) {
    std::vector<std::wstring> names;
    if (source.IsEmpty()) return names;
    std::unique_ptr<NTFSVolume> volume = source.Open();
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(kNTFSMaskData);
    if (!record.ReadFileRecord(recordNumber) || !record.ParseAttrs()) return names;
    for (NTFSAttributeBase* attr = record.FindFirstAttr(kNTFSAttrData); attr; attr = record.FindNextAttr(kNTFSAttrData)) {
        wchar_t name[kNTFSMaxAttrNameChars + 1];
        const int length = attr->GetAttrName(name, kNTFSMaxAttrNameChars);
        if (length > 0) names.emplace_back(name, static_cast<size_t>(length));
    }
    return names;
}

std::wstring StreamFileName(const std::wstring& fileName, const std::wstring& stream) {
    return fileName + L"_" + stream;
}

}  // namespace Vorlaq

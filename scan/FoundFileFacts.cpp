#include "scan/FoundFileFacts.h"

#include "ntfs/NTFSAttribute.h"

namespace Vorlaq {

DeletedFileInfo FoundFileFacts::Row(const std::wstring& volume, uint64_t recordNumber, std::wstring name,
                                    std::wstring path) const {
    DeletedFileInfo row(volume, recordNumber, std::move(name), std::move(path), 0, nullptr, nullptr, nullptr);
    Fill(row);
    return row;
}

void FoundFileFacts::Fill(DeletedFileInfo& row) const {
    row.SetSize(size);
    row.SetModifiedTime(modified);
    row.SetCreationTime(created);
    row.SetAccessTime(accessed);
    row.SetStandardTimes(standardTimes);
    row.SetReadOnly(readOnly);
}

FoundFileFacts ReadFoundFileFacts(NTFSFileRecord& record) {
    FoundFileFacts facts;
    record.GetFileTime(&facts.modified, &facts.created, &facts.accessed);
    facts.standardTimes = record.GetStandardTimes();
    facts.readOnly = record.IsReadOnly();
    record.ParseMoreAttrs(kNTFSMaskData);
    facts.data = record.FindStream(nullptr);
    if (facts.data) facts.size = facts.data->GetDataSize();
    return facts;
}

}  // namespace Vorlaq

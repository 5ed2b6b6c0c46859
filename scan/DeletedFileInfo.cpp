#include "scan/DeletedFileInfo.h"

#include <utility>

#include "base/Utf16.h"
#include "base/os/Time.h"
#include "scan/DisplayText.h"
#include "scan/PathNames.h"

namespace Vorlaq {

DeletedFileInfo::DeletedFileInfo(std::wstring volume, uint64_t recordNumber, std::wstring name,
                                 std::wstring path, uint64_t size, const uint64_t* modified,
                                 const uint64_t* created, const uint64_t* accessed)
    : volume_(SharedText(std::move(volume))),
      recordNumber_(recordNumber),
      path_(SharedText(std::move(path))),
      size_(size),
      modified_(modified ? *modified : 0),
      created_(created ? *created : 0),
      accessed_(accessed ? *accessed : 0) {
    SetName(std::move(name));
}

const std::wstring& DeletedFileInfo::NoText() {
    static const std::wstring none;
    return none;
}

std::shared_ptr<const std::wstring> DeletedFileInfo::SharedText(std::wstring text) {
    return text.empty() ? nullptr : std::make_shared<const std::wstring>(std::move(text));
}

void DeletedFileInfo::Reuse() {
    std::wstring name = std::move(name_), type = std::move(type_);
    *this = DeletedFileInfo();
    name_ = std::move(name);
    name_.clear();
    type_ = std::move(type);
    type_.clear();
}

void DeletedFileInfo::SetName(std::wstring name) {
    name_ = std::move(name);
    SetType();
}

void DeletedFileInfo::AssignName(std::wstring_view name) {
    name_.assign(name);
    SetType();
}

void DeletedFileInfo::SetType() {
    type_.assign(GetFileExtension(name_));
    FoldAsciiLowerInPlace(type_);
}

std::wstring DeletedFileInfo::GetRecordNumberText() const {
    if (IsFromOldMft()) return L"@" + FormatUInt64(oldPosition_);
    return IsTrace() ? L"T" + FormatUInt64(recordNumber_) : FormatUInt64(recordNumber_);
}
std::wstring DeletedFileInfo::GetSizeText() const { return FormatFileSize(size_); }
// Shown in local time; a time the record does not hold stays 0.
std::wstring DeletedFileInfo::GetModifiedTimeText() const { return FormatFileTime(modified_ ? ToLocal(modified_) : 0); }
std::wstring DeletedFileInfo::GetCreationTimeText() const { return FormatFileTime(created_ ? ToLocal(created_) : 0); }
std::wstring DeletedFileInfo::GetAccessTimeText() const { return FormatFileTime(accessed_ ? ToLocal(accessed_) : 0); }

}  // namespace Vorlaq

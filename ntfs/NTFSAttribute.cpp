#include "ntfs/NTFSAttribute.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/LogManager.h"
#include "base/Utf16.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

NTFSAttributeBase::NTFSAttributeBase(const ByteReader& attr, NTFSFileRecord* record) : attr_(attr), record_(record) {
    if (const NTFSVolume* volume = record ? record->GetVolume() : nullptr) {
        sectorSize_ = volume->GetSectorSize();
        clusterSize_ = volume->GetClusterSize();
        indexBlockSize_ = volume->GetIndexBlockSize();
        device_ = volume->GetDevice();
    }
}

uint32_t NTFSAttributeBase::GetAttrType() const { return attr_.U32(0x00).value_or(0); }

bool NTFSAttributeBase::IsNonResident() const { return attr_.U8(0x08).value_or(0) != 0; }

bool NTFSAttributeBase::IsUnNamed() const { return attr_.U8(0x09).value_or(0) == 0; }

uint16_t NTFSAttributeBase::GetAttrFlags() const { return attr_.U16(0x0C).value_or(0); }

bool NTFSAttributeBase::HasNameInside(const ByteReader& attr) {
    auto length = attr.U8(0x09);
    auto offset = attr.U16(0x0A);
    return length && offset && attr.Contains(*offset, size_t{*length} * 2);
}

int NTFSAttributeBase::GetAttrName(wchar_t* buffer, uint32_t capacity) const {
    uint8_t units = attr_.U8(0x09).value_or(0);
    if (units == 0) {
        LogManager::instance().print(LogLevel::Info, L"Attribute is unnamed. ");
        return 0;
    }
    auto name = attr_.Sub(attr_.U16(0x0A).value_or(0), size_t{units} * 2);
    if (!name) return 0;
    std::wstring text = DecodeUtf16Le(name->data(), units);
    int length = static_cast<int>(text.size());
    if (capacity < text.size() || !buffer) return -length;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = L'\0';
    return length;
}

NTFSAttributeResident::NTFSAttributeResident(const ByteReader& attr, NTFSFileRecord* record)
    : NTFSAttributeBase(attr, record) {
    auto length = attr.U32(0x10);
    auto offset = attr.U16(0x14);
    if (length && offset) value_ = attr.Sub(*offset, *length).value_or(ByteReader());
}

bool NTFSAttributeResident::IsWellFormed(const ByteReader& attr) {
    if (attr.size() < kNTFSResidentHeaderSize || !HasNameInside(attr)) return false;
    auto length = attr.U32(0x10);
    auto offset = attr.U16(0x14);
    return length && offset && attr.Contains(*offset, *length);
}

uint64_t NTFSAttributeResident::GetDataSize(uint64_t* allocSize) const {
    if (allocSize) *allocSize = value_.size();
    return value_.size();
}

bool NTFSAttributeResident::ReadData(const uint64_t& offset, void* buffer, uint32_t length, uint32_t* delivered) {
    if (!buffer) return false;
    if (delivered) *delivered = 0;
    if (length == 0) return true;
    if (offset >= value_.size()) return false;
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, value_.size() - offset));
    value_.CopyTo(static_cast<size_t>(offset), buffer, n);
    if (delivered) *delivered = n;
    return true;
}

}  // namespace Vorlaq

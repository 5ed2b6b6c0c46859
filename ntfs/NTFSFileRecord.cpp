#include "ntfs/NTFSFileRecord.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "base/LogManager.h"
#include "base/os/Device.h"
#include "ntfs/NTFSAttributeBitmap.h"
#include "ntfs/NTFSAttributeData.h"
#include "ntfs/NTFSAttributeFileName.h"
#include "ntfs/NTFSAttributeIndexAllocation.h"
#include "ntfs/NTFSAttributeIndexRoot.h"
#include "ntfs/NTFSAttributeList.h"
#include "ntfs/NTFSAttributeStandardInfo.h"
#include "ntfs/NTFSAttributeVolumeInfo.h"
#include "ntfs/NTFSAttributeVolumeName.h"
#include "ntfs/NTFSRecordHeader.h"
#include "ntfs/NTFSUpdateSequence.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kFileMagic = 0x454C4946;  // "FILE"
constexpr uint16_t kFlagInUse = 0x0001;
constexpr uint16_t kFlagDirectory = 0x0002;
constexpr uint32_t kDataIndex = (kNTFSAttrData >> 4) - 1;
constexpr uint32_t kFileNameIndex = (kNTFSAttrFileName >> 4) - 1;
constexpr uint32_t kStandardInfoIndex = (kNTFSAttrStandardInfo >> 4) - 1;
constexpr uint32_t kAttributeListIndex = (kNTFSAttrAttributeList >> 4) - 1;

template <typename A>
std::unique_ptr<NTFSAttributeBase> Make(const ByteReader& attr, NTFSFileRecord* record) {
    if (!A::IsWellFormed(attr)) return nullptr;
    return std::make_unique<A>(attr, record);
}

// Resident or non-resident form of a class template, by the attribute's own flag.
template <template <typename> class A>
std::unique_ptr<NTFSAttributeBase> MakeEither(const ByteReader& attr, NTFSFileRecord* record, bool nonResident) {
    return nonResident ? Make<A<NTFSAttributeNonResident>>(attr, record)
                       : Make<A<NTFSAttributeResident>>(attr, record);
}

}  // namespace

NTFSFileRecord::NTFSFileRecord(const NTFSVolume* volume) : volume_(volume) {}

NTFSFileRecord::~NTFSFileRecord() { ClearAttrs(); }

void NTFSFileRecord::ClearAttrs() {
    // List 1 ($ATTRIBUTE_LIST) goes before the lists holding attributes it moved in; destroying
    // an attribute never touches the bytes it pointed to.
    for (auto& list : attrs_) list.RemoveAll();
    builtAll_ = false;
}

bool NTFSFileRecord::ReadRecordBuffer(uint64_t number) {
    const uint32_t size = volume_ ? volume_->GetFileRecordSize() : 0;
    Device* device = volume_ ? volume_->GetDevice() : nullptr;
    if (size == 0 || !device || number > UINT64_MAX / size) return false;
    try {
        buffer_.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint32_t got = 0;
    bool ok = false;
    if (number >= 16 && volume_->HasMFTData()) {
        ok = volume_->GetMFTData()->ReadData(number * size, buffer_.data(), size, &got) && got == size;
    } else if (number * size <= UINT64_MAX - volume_->GetMFTAddr()) {
        ok = device->ReadAt(volume_->GetMFTAddr() + number * size, buffer_.data(), size, &got) && got == size;
    }
    if (!ok) {
        buffer_.clear();
        return false;
    }
    bytes_ = buffer_.data();
    size_ = buffer_.size();
    return true;
}

bool NTFSFileRecord::CheckRecordBuffer() {
    ByteReader record(bytes_, size_);
    if (record.U32(0x00).value_or(0) != kFileMagic) {
        LogManager::instance().print(LogLevel::Error, L"Invalid file record. ");
        const bool zeros = size_ != 0 && std::all_of(bytes_, bytes_ + size_, [](uint8_t b) { return b == 0; });
        DropBytes();
        neverWritten_ = zeros;
        return false;
    }
    if (!ApplyUpdateSequence(bytes_, size_)) {
        LogManager::instance().print(LogLevel::Error, L"Failed to update sequence number. ");
        DropBytes();
        return false;
    }
    if (!HasFirstAttribute(record)) {
        LogManager::instance().print(LogLevel::Error, L"Invalid file record. ");
        DropBytes();
        return false;
    }
    return true;
}

bool NTFSFileRecord::ReadFileRecord(uint64_t number) {
    ClearAttrs();
    DropBytes();
    buffer_.clear();
    buffer_.shrink_to_fit();
    if (!ReadRecordBuffer(number)) {
        LogManager::instance().print(LogLevel::Error, L"Failed to read file record: %I64u. ", number);
        number_ = kNTFSNoRecord;
        return false;
    }
    number_ = number;
    return CheckRecordBuffer();
}

bool NTFSFileRecord::LoadFileRecord(uint64_t number, const uint8_t* bytes, size_t size) {
    // A copy in the record's own buffer, checked and fixed up there; bytes of the wrong size are
    // refused below with the same log line.
    const bool fits = bytes && volume_ && size != 0 && size == volume_->GetFileRecordSize();
    if (fits) buffer_.assign(bytes, bytes + size);
    return LoadFileRecordInPlace(number, fits ? buffer_.data() : nullptr, size);
}

bool NTFSFileRecord::LoadFileRecordInPlace(uint64_t number, uint8_t* bytes, size_t size) {
    ClearAttrs();
    DropBytes();
    if (!bytes || !volume_ || size == 0 || size != volume_->GetFileRecordSize()) {
        LogManager::instance().print(LogLevel::Error, L"Failed to read file record: %I64u. ", number);
        number_ = kNTFSNoRecord;
        return false;
    }
    bytes_ = bytes;
    size_ = size;
    number_ = number;
    return CheckRecordBuffer();
}

bool NTFSFileRecord::ParseAttrs() {
    if (size_ == 0) return false;
    ClearAttrs();
    builtAll_ = BuildAttrs(mask_);
    return builtAll_;
}

bool NTFSFileRecord::ParseMoreAttrs(uint32_t mask) {
    const bool listFollowed = mask_ & NTFSAttrMaskBit(kNTFSAttrAttributeList);
    if (size_ == 0 || !builtAll_ || !listFollowed || attrs_[kAttributeListIndex].GetCount() != 0) {
        SetAttrMask(mask);
        return ParseAttrs();
    }
    const uint32_t more = mask & ~mask_;
    mask_ |= mask;
    builtAll_ = BuildAttrs(more);
    return builtAll_;
}

bool NTFSFileRecord::BuildAttrs(uint32_t mask) {
    ByteReader record(bytes_, size_);
    size_t offset = *record.U16(0x14);
    bool ok = true;
    // Every step moves on by at least a resident header, so the walk ends within the record.
    for (;;) {
        auto type = record.U32(offset);
        auto length = record.U32(offset + 4);
        if (!type || *type == kNTFSAttrEnd || !length) break;
        if (*length < kNTFSResidentHeaderSize || !record.Contains(offset, *length)) break;
        uint32_t bit = ((*type >> 4) - 1) % 32;
        if (mask & (1u << bit)) {
            if (!ParseAttr(*record.Sub(offset, *length), *type)) {
                ok = false;
                break;
            }
        }
        offset += *length;
    }
    MergeStreamPieces();
    return ok;
}

bool NTFSFileRecord::ParseAttr(const ByteReader& attr, uint32_t type) {
    uint32_t index = (type >> 4) - 1;
    if (index >= kNTFSAttrLists) {
        LogManager::instance().print(LogLevel::Error, L"Invalid Attribute Type: 0x%04X. ", type);
        return false;
    }
    // Attribute types are multiples of 0x10. Another code (0x35) would land in the list of its
    // neighbour (0x30) as an object the list's queries do not expect; it is no attribute we know.
    if (type & 0xF) return true;
    std::unique_ptr<NTFSAttributeBase> object = AllocAttr(attr, type);
    if (!object) {
        LogManager::instance().print(LogLevel::Error, L"Parsing attribute error: 0x%04X. ", type);
        return false;
    }
    return attrs_[index].InsertEntry(std::move(object));
}

std::unique_ptr<NTFSAttributeBase> NTFSFileRecord::AllocAttr(const ByteReader& attr, uint32_t type) {
    bool nonResident = attr.U8(0x08).value_or(0) != 0;
    try {
        switch (type) {
        case kNTFSAttrStandardInfo: return Make<NTFSAttributeStandardInfo>(attr, this);
        case kNTFSAttrAttributeList: return MakeEither<NTFSAttributeList>(attr, this, nonResident);
        case kNTFSAttrFileName: return Make<NTFSAttributeFileName>(attr, this);
        case kNTFSAttrVolumeName: return Make<NTFSAttributeVolumeName>(attr, this);
        case kNTFSAttrVolumeInfo: return Make<NTFSAttributeVolumeInfo>(attr, this);
        case kNTFSAttrData: return MakeEither<NTFSAttributeData>(attr, this, nonResident);
        case kNTFSAttrIndexRoot: return Make<NTFSAttributeIndexRoot>(attr, this);
        case kNTFSAttrIndexAllocation: return Make<NTFSAttributeIndexAllocation>(attr, this);
        case kNTFSAttrBitmap: return MakeEither<NTFSAttributeBitmap>(attr, this, nonResident);
        default:
            return nonResident ? Make<NTFSAttributeNonResident>(attr, this) : Make<NTFSAttributeResident>(attr, this);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void NTFSFileRecord::MergeStreamPieces() {
    NTFSSingleList<NTFSAttributeBase>& list = attrs_[kDataIndex];
    if (list.GetCount() < 2) return;
    std::vector<NTFSAttributeBase*> all;
    for (NTFSAttributeBase* attr = list.FindFirstEntry(); attr; attr = list.FindNextEntry()) all.push_back(attr);

    // A stream is known by its name (the raw UTF-16 bytes); its first piece at VCN 0 holds it.
    auto nameOf = [](const NTFSAttributeBase* attr) {
        ByteReader header(attr->GetAttrHeader(), attr->GetAttrLength());
        size_t bytes = size_t{*header.U8(0x09)} * 2;
        auto name = header.Sub(*header.U16(0x0A), bytes);
        return name ? std::string(reinterpret_cast<const char*>(name->data()), bytes) : std::string();
    };
    std::map<std::string, NTFSAttributeNonResident*> streams;
    for (NTFSAttributeBase* attr : all) {
        if (!attr->IsNonResident()) continue;
        auto* piece = static_cast<NTFSAttributeNonResident*>(attr);
        if (piece->GetStartVCN() == 0) streams.emplace(nameOf(attr), piece);
    }
    if (streams.empty()) return;

    // Later pieces join their stream; repeats of a piece (an extension record listed more than
    // once) and further VCN-0 pieces are dropped.
    std::vector<bool> spent(all.size(), false);
    bool any = false;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!all[i]->IsNonResident()) continue;
        auto stream = streams.find(nameOf(all[i]));
        if (stream == streams.end() || stream->second == all[i]) continue;
        stream->second->AbsorbPiece(*static_cast<NTFSAttributeNonResident*>(all[i]));
        spent[i] = any = true;
    }
    if (!any) return;
    auto owned = list.TakeAll();
    for (size_t i = 0; i < owned.size(); ++i)
        if (!spent[i]) list.InsertEntry(std::move(owned[i]));
}

void NTFSFileRecord::TakeAttrs(NTFSFileRecord& extension, uint32_t index) {
    if (index >= kNTFSAttrLists) return;
    for (auto& attr : extension.attrs_[index].TakeAll()) attrs_[index].InsertEntry(std::move(attr));
}

bool NTFSFileRecord::IsDeleted() const {
    return (ByteReader(bytes_, size_).U16(0x16).value_or(0) & kFlagInUse) == 0;
}

bool NTFSFileRecord::IsDirectory() const {
    return (ByteReader(bytes_, size_).U16(0x16).value_or(0) & kFlagDirectory) != 0;
}

uint16_t NTFSFileRecord::GetSequenceNumber() const {
    return ByteReader(bytes_, size_).U16(0x10).value_or(0);
}

uint64_t NTFSFileRecord::GetBaseRecordRef() const {
    return ByteReader(bytes_, size_).U64(0x20).value_or(0);
}

int NTFSFileRecord::GetFileName(wchar_t* buffer, uint32_t capacity) {
    NTFSSingleList<NTFSAttributeBase>& list = attrs_[kFileNameIndex];
    for (NTFSAttributeBase* attr = list.FindFirstEntry(); attr; attr = list.FindNextEntry()) {
        auto* name = static_cast<NTFSAttributeFileName*>(attr);
        if (name->IsWin32Name()) return name->GetFileName(buffer, capacity);
    }
    return 0;
}

std::wstring NTFSFileRecord::GetWin32Name() {
    std::wstring name;
    GetWin32Name(name);
    return name;
}

void NTFSFileRecord::GetWin32Name(std::wstring& name) {
    NTFSSingleList<NTFSAttributeBase>& list = attrs_[kFileNameIndex];
    for (NTFSAttributeBase* attr = list.FindFirstEntry(); attr; attr = list.FindNextEntry()) {
        auto* held = static_cast<NTFSAttributeFileName*>(attr);
        if (held->IsWin32Name()) return held->GetName(name);
    }
    name.clear();
}

void NTFSFileRecord::GetFileTime(uint64_t* writeTm, uint64_t* createTm, uint64_t* accessTm) {
    auto* info = static_cast<NTFSAttributeStandardInfo*>(attrs_[kStandardInfoIndex].FindFirstEntry());
    if (info) {
        info->GetFileTime(writeTm, createTm, accessTm);
        return;
    }
    if (writeTm) *writeTm = 0;
    if (createTm) *createTm = 0;
    if (accessTm) *accessTm = 0;
}

NTFSStandardTimes NTFSFileRecord::GetStandardTimes() {
    auto* info = static_cast<NTFSAttributeStandardInfo*>(attrs_[kStandardInfoIndex].FindFirstEntry());
    return info ? info->GetUtcTimes() : NTFSStandardTimes{};
}

uint32_t NTFSFileRecord::GetFilePermission() const {
    auto* info = static_cast<const NTFSAttributeStandardInfo*>(attrs_[kStandardInfoIndex].GetFirstEntry());
    return info ? info->GetFilePermission() : 0;
}

NTFSAttributeBase* NTFSFileRecord::FindStream(const wchar_t* name) {
    NTFSSingleList<NTFSAttributeBase>& list = attrs_[kDataIndex];
    for (NTFSAttributeBase* attr = list.FindFirstEntry(); attr; attr = list.FindNextEntry()) {
        if (!name) {
            if (attr->IsUnNamed()) return attr;
            continue;
        }
        if (attr->IsUnNamed()) continue;
        wchar_t copy[kNTFSMaxAttrNameChars + 1];
        if (attr->GetAttrName(copy, kNTFSMaxAttrNameChars) > 0 && std::wcscmp(copy, name) == 0) return attr;
    }
    return nullptr;
}

NTFSAttributeBase* NTFSFileRecord::FindFirstAttr(uint32_t type) {
    uint32_t index = (type >> 4) - 1;
    return index < kNTFSAttrLists ? attrs_[index].FindFirstEntry() : nullptr;
}

NTFSAttributeBase* NTFSFileRecord::FindNextAttr(uint32_t type) {
    uint32_t index = (type >> 4) - 1;
    return index < kNTFSAttrLists ? attrs_[index].FindNextEntry() : nullptr;
}

uint64_t NTFSFileRecord::GetParentRef() {
    auto* name = static_cast<NTFSAttributeFileName*>(attrs_[kFileNameIndex].FindFirstEntry());
    return name ? name->GetParentRef() & kNTFSRecordNumberMask : 0;
}

}  // namespace Vorlaq

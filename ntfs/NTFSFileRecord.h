#pragma once
// One MFT file record read by number: the fixed-up bytes, the header fields asked about, and the
// attribute objects built from it, filed by type.
//
// File record header (offsets from the record's start):
//   0x00 magic "FILE"
//   0x04 u16 update sequence array offset, 0x06 u16 its count (NTFSUpdateSequence.h)
//   0x10 u16 sequence number
//   0x14 u16 offset of the first attribute
//   0x16 u16 flags: 0x0001 in use, 0x0002 directory
//   0x20 u64 base record reference: 0 in a base record; in an extension record, the record it
//            extends (low 48 bits record number)
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeStandardInfo.h"
#include "ntfs/NTFSSingleList.h"

namespace Vorlaq {

class NTFSVolume;
template <typename B>
class NTFSAttributeList;

constexpr uint64_t kNTFSNoRecord = UINT64_MAX;
constexpr uint64_t kNTFSRecordNumberMask = 0x0000FFFFFFFFFFFFull;
// Attribute lists kept per record: type (i + 1) * 0x10 in list i.
constexpr int kNTFSAttrLists = 16;

// SetAttrMask's bit set: bit i selects type (i + 1) * 0x10.
constexpr uint32_t NTFSAttrMaskBit(uint32_t type) { return 1u << (type / 0x10 - 1); }
// The names and times ($FILE_NAME; $STANDARD_INFORMATION comes with every mask).
constexpr uint32_t kNTFSMaskFileName = NTFSAttrMaskBit(kNTFSAttrFileName);
// The $DATA streams.
constexpr uint32_t kNTFSMaskData = NTFSAttrMaskBit(kNTFSAttrData);
// $Volume's $VOLUME_NAME and $VOLUME_INFORMATION.
constexpr uint32_t kNTFSMaskVolume = NTFSAttrMaskBit(kNTFSAttrVolumeName) | NTFSAttrMaskBit(kNTFSAttrVolumeInfo);

class NTFSFileRecord : public NTFSFileFlags<NTFSFileRecord> {
public:
    explicit NTFSFileRecord(const NTFSVolume* volume);
    virtual ~NTFSFileRecord();
    NTFSFileRecord(const NTFSFileRecord&) = delete;
    NTFSFileRecord& operator=(const NTFSFileRecord&) = delete;

    // NTFSAttrMaskBit of each type to build; $STANDARD_INFORMATION and $ATTRIBUTE_LIST always.
    void SetAttrMask(uint32_t mask) {
        mask_ = mask | NTFSAttrMaskBit(kNTFSAttrStandardInfo) | NTFSAttrMaskBit(kNTFSAttrAttributeList);
    }
    // The same selection from the base record alone: its $ATTRIBUTE_LIST is not followed, which
    // spares reading the list and the extension records when the base holds what is wanted.
    void SetBaseAttrMask(uint32_t mask) { mask_ = mask | NTFSAttrMaskBit(kNTFSAttrStandardInfo); }
    // Reads record `number` from the volume, checks its magic and applies the fix-up.
    bool ReadFileRecord(uint64_t number);
    // The same checks and log lines on record bytes the caller has read (for example many
    // records fetched from the MFT in one read); `size` must be the file-record size.
    bool LoadFileRecord(uint64_t number, const uint8_t* bytes, size_t size);
    // The same on bytes the caller lends, without a copy: the fix-up is applied to them where they
    // are, and the record reads them there until it is loaded again or destroyed. The caller keeps
    // them unchanged that long and lends them once (fixed-up bytes fail a second fix-up).
    bool LoadFileRecordInPlace(uint64_t number, uint8_t* bytes, size_t size);
    // Builds the attribute objects of the selected types; extension records named by an
    // $ATTRIBUTE_LIST are read and their attributes taken in.
    bool ParseAttrs();
    // The same as SetAttrMask(mask) and ParseAttrs() for the types of `mask`, keeping the objects
    // built before. When the last ParseAttrs built every attribute it was asked for and the record
    // has no $ATTRIBUTE_LIST, only the types not built before are built (the same objects and log
    // lines, without building the others again).
    bool ParseMoreAttrs(uint32_t mask);

    bool IsDeleted() const;
    bool IsDirectory() const;
    // The first Win32 (non-DOS) name: its length, -length when capacity is too small, 0 for none.
    int GetFileName(wchar_t* buffer, uint32_t capacity);
    // The same name as a string; empty for none.
    std::wstring GetWin32Name();
    // The same into `name`, whose storage is reused.
    void GetWin32Name(std::wstring& name);
    // From the first $STANDARD_INFORMATION, UTC; 0 without one. Creation, access optional.
    void GetFileTime(uint64_t* writeTm, uint64_t* createTm = nullptr, uint64_t* accessTm = nullptr);
    // The first $STANDARD_INFORMATION's four times as stored (UTC); zeros without one.
    NTFSStandardTimes GetStandardTimes();
    // The unnamed $DATA (name null) or the $DATA of that name, case-sensitive.
    NTFSAttributeBase* FindStream(const wchar_t* name = nullptr);
    NTFSAttributeBase* FindFirstAttr(uint32_t type);
    NTFSAttributeBase* FindNextAttr(uint32_t type);
    // The first $FILE_NAME's parent record number (sequence number cleared); 0 without one.
    uint64_t GetParentRef();
    uint64_t GetFileRef() const { return number_; }
    // Header 0x10 as stored; 0 without a record. It goes up by one each time the record is
    // freed: a record read again with another number holds another file.
    uint16_t GetSequenceNumber() const;
    // The fixed-up record as loaded, slack included; empty without a record.
    ByteReader GetBytes() const { return ByteReader(bytes_, size_); }
    // The first $STANDARD_INFORMATION's file attribute flags; 0 without one.
    uint32_t GetFilePermission() const;
    // The last read or load failed on bytes that are all zeros: a record the MFT has room for but
    // never used (Windows leaves them unwritten). Logged as an invalid record all the same.
    bool IsNeverWritten() const { return neverWritten_; }

    const NTFSVolume* GetVolume() const { return volume_; }
    // Header 0x20 as stored; 0 without a record.
    uint64_t GetBaseRecordRef() const;
    uint32_t GetAttrMask() const { return mask_; }

private:
    template <typename B>
    friend class NTFSAttributeList;

    void ClearAttrs();
    // Builds the attributes whose type's NTFSAttrMaskBit is in `mask`, in the record's order, then
    // joins the pieces of its streams; false from the first that cannot be built.
    bool BuildAttrs(uint32_t mask);
    // Forgets the bytes (the record's own storage is kept for the next read).
    void DropBytes() {
        bytes_ = nullptr;
        size_ = 0;
        neverWritten_ = false;
    }
    bool ReadRecordBuffer(uint64_t number);
    bool CheckRecordBuffer();
    bool ParseAttr(const ByteReader& attr, uint32_t type);
    std::unique_ptr<NTFSAttributeBase> AllocAttr(const ByteReader& attr, uint32_t type);
    // Folds the pieces of each non-resident $DATA stream into the piece that starts at VCN 0.
    void MergeStreamPieces();
    // Moves every attribute of list `index` from `extension` to the end of this record's list.
    void TakeAttrs(NTFSFileRecord& extension, uint32_t index);

    const NTFSVolume* volume_;
    std::vector<uint8_t> buffer_;  // the record's own copy of its bytes, when it has one
    uint8_t* bytes_ = nullptr;     // the record's bytes: buffer_ or lent; null when there is no record
    size_t size_ = 0;
    uint64_t number_ = kNTFSNoRecord;
    bool neverWritten_ = false;
    uint32_t mask_ = UINT32_MAX;
    NTFSSingleList<NTFSAttributeBase> attrs_[kNTFSAttrLists];
    bool builtAll_ = false;  // the attributes of mask_ were all built from the bytes loaded
};

}  // namespace Vorlaq

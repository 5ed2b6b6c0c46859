#pragma once
// The attribute classes' common base and the resident storage form.
//
// Attribute header (at the attribute's start inside a file record):
//   0x00 u32 type code (0xFFFFFFFF ends the record's attributes)
//   0x04 u32 length of this attribute record, header included
//   0x08 u8  non-resident flag (0 resident)
//   0x09 u8  name length, in UTF-16 code units (0 = unnamed)
//   0x0A u16 name offset, from the attribute's start
//   0x0C u16 flags (0x0001 compressed, 0x4000 encrypted, 0x8000 sparse)
// Resident form:
//   0x10 u32 value length in bytes
//   0x14 u16 value offset, from the attribute's start
#include <cstdint>

#include "base/ByteReader.h"

namespace Vorlaq {

class Device;
class NTFSFileRecord;

constexpr uint32_t kNTFSAttrStandardInfo = 0x10;
constexpr uint32_t kNTFSAttrAttributeList = 0x20;
constexpr uint32_t kNTFSAttrFileName = 0x30;
constexpr uint32_t kNTFSAttrVolumeName = 0x60;
constexpr uint32_t kNTFSAttrVolumeInfo = 0x70;
constexpr uint32_t kNTFSAttrData = 0x80;
constexpr uint32_t kNTFSAttrIndexRoot = 0x90;
constexpr uint32_t kNTFSAttrIndexAllocation = 0xA0;
constexpr uint32_t kNTFSAttrBitmap = 0xB0;
constexpr uint32_t kNTFSAttrEnd = 0xFFFFFFFF;

// Name buffers for attribute names hold this many characters plus the terminator.
constexpr uint32_t kNTFSMaxAttrNameChars = 260;

// The smallest attribute record there is: the resident header.
constexpr uint32_t kNTFSResidentHeaderSize = 0x18;

class NTFSAttributeBase {
public:
    // `attr` covers exactly the attribute's bytes (its length field); the caller has checked that
    // they hold the header of the storage form this object is.
    NTFSAttributeBase(const ByteReader& attr, NTFSFileRecord* record);
    virtual ~NTFSAttributeBase() = default;
    NTFSAttributeBase(const NTFSAttributeBase&) = delete;
    NTFSAttributeBase& operator=(const NTFSAttributeBase&) = delete;

    // The stream's length in bytes; the allocated size goes to *allocSize when given.
    virtual uint64_t GetDataSize(uint64_t* allocSize = nullptr) const = 0;
    // Reads up to `length` bytes of the value from `offset`; *delivered says how many arrived.
    virtual bool ReadData(const uint64_t& offset, void* buffer, uint32_t length, uint32_t* delivered) = 0;
    virtual bool IsDataRunOK() const = 0;
    // How many bytes from `offset` on the stream keeps as a hole (no cluster stored for them:
    // they read as zeros without a read); 0 where data is stored.
    virtual uint64_t GetHoleLength(uint64_t /*offset*/) const { return 0; }
    // Where the first hole at or after `offset` starts; the data size when none does.
    virtual uint64_t GetNextHole(uint64_t /*offset*/) const { return GetDataSize(); }

    uint32_t GetAttrType() const;
    bool IsNonResident() const;
    bool IsUnNamed() const;
    // Copies the name and terminates it (capacity counts wchar_t, the terminator excluded):
    // returns its length, -length when the buffer is too small, 0 for an unnamed attribute.
    int GetAttrName(wchar_t* buffer, uint32_t capacity) const;

    const uint8_t* GetAttrHeader() const { return attr_.data(); }
    uint32_t GetAttrLength() const { return static_cast<uint32_t>(attr_.size()); }
    uint16_t GetAttrFlags() const;
    NTFSFileRecord* GetFileRecord() const { return record_; }

    // True when the header's name (offset and length) lies inside the attribute.
    static bool HasNameInside(const ByteReader& attr);

protected:
    ByteReader attr_;
    uint16_t sectorSize_ = 0;
    uint32_t clusterSize_ = 0;
    uint32_t indexBlockSize_ = 0;
    Device* device_ = nullptr;  // the volume's, not owned
    NTFSFileRecord* record_ = nullptr;
};

class NTFSAttributeResident : public NTFSAttributeBase {
public:
    NTFSAttributeResident(const ByteReader& attr, NTFSFileRecord* record);

    // The resident header is complete and the name and the value lie inside the attribute.
    static bool IsWellFormed(const ByteReader& attr);

    uint64_t GetDataSize(uint64_t* allocSize = nullptr) const override;
    bool ReadData(const uint64_t& offset, void* buffer, uint32_t length, uint32_t* delivered) override;
    bool IsDataRunOK() const override { return true; }

    const ByteReader& GetValue() const { return value_; }

protected:
    ByteReader value_;
};

}  // namespace Vorlaq

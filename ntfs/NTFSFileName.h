#pragma once
// A $FILE_NAME value, in a file record or as the key of an index entry.
//
// $FILE_NAME value (offsets from the value's start):
//   0x00 u64 parent directory reference (low 48 bits record number, high 16 bits sequence)
//   0x08 / 0x10 / 0x18 / 0x20 FILETIME creation / modification / MFT change / last access (UTC)
//   0x28 u64 allocated size, 0x30 u64 data size
//   0x38 u32 flags (0x1 read-only, 0x2 hidden, 0x4 system, 0x200 sparse, 0x800 compressed,
//            0x4000 encrypted, 0x10000000 directory)
//   0x40 u8  name length in UTF-16 code units
//   0x41 u8  namespace: 0 POSIX, 1 Win32, 2 DOS (8.3), 3 Win32 and DOS
//   0x42     the name, UTF-16LE, not terminated
#include <cstdint>
#include <string>

#include "base/ByteReader.h"
#include "ntfs/NTFSFileFlags.h"

namespace Vorlaq {

constexpr size_t kNTFSFileNameHeaderSize = 0x42;
constexpr uint8_t kNTFSDosNameSpace = 2;
// The work buffer the name copies go through, in characters.
constexpr uint32_t kNTFSMaxNameChars = 260;

class NTFSFileName : public NTFSFileFlags<NTFSFileName> {
public:
    NTFSFileName() = default;
    explicit NTFSFileName(const ByteReader& value) { SetFileName(value); }
    virtual ~NTFSFileName() = default;

    // The value holds the fixed part and the whole name.
    static bool IsWellFormed(const ByteReader& value);

    // Points at a $FILE_NAME value; one that is not well formed counts as none.
    void SetFileName(const ByteReader& value);

    // Copies the name as stored and terminates it: its length, -length when capacity (in
    // characters, terminator excluded) is smaller, 0 without a name.
    int GetFileName(wchar_t* buffer, uint32_t capacity) const;
    // The same name decoded straight into `name`, whose storage is reused; empty for none.
    void GetName(std::wstring& name) const;
    // A name is present and it is not in the DOS namespace.
    bool IsWin32Name() const;
    uint8_t GetNameSpace() const;
    uint64_t GetParentRef() const;
    uint64_t GetFileSize() const;
    uint32_t GetFilePermission() const;
    bool IsDirectory() const { return GetFilePermission() & 0x10000000; }
    // The stored UTC times; 0 without a value. The creation and access outputs are optional.
    void GetFileTime(uint64_t* writeTm, uint64_t* createTm = nullptr, uint64_t* accessTm = nullptr) const;
    // Case-insensitive order of `name` against this name: <0, 0, >0; a name over 260
    // characters is greater. Both are upper-cased here, on demand: a scan reads a million names
    // and compares none.
    int Compare(const wchar_t* name) const;

protected:
    ByteReader fileName_;  // the value; empty when there is none
};

}  // namespace Vorlaq

#pragma once
// The file attribute flags that $STANDARD_INFORMATION (0x20) and $FILE_NAME (0x38) both store,
// as one u32: read-only, hidden, system, sparse, compressed, encrypted and (in $FILE_NAME only)
// directory.
#include <cstdint>

namespace Vorlaq {

constexpr uint32_t kNTFSFileReadOnly = 0x1;
constexpr uint32_t kNTFSFileHidden = 0x2;
constexpr uint32_t kNTFSFileSystem = 0x4;
constexpr uint32_t kNTFSFileSparse = 0x200;
constexpr uint32_t kNTFSFileCompressed = 0x800;
constexpr uint32_t kNTFSFileEncrypted = 0x4000;

// The flag accessors of a class whose GetFilePermission() const returns the flags.
template <typename Owner>
class NTFSFileFlags {
public:
    bool IsReadOnly() const { return Flags() & kNTFSFileReadOnly; }
    bool IsHidden() const { return Flags() & kNTFSFileHidden; }
    bool IsSystem() const { return Flags() & kNTFSFileSystem; }
    bool IsSparse() const { return Flags() & kNTFSFileSparse; }
    bool IsCompressed() const { return Flags() & kNTFSFileCompressed; }
    bool IsEncrypted() const { return Flags() & kNTFSFileEncrypted; }

private:
    uint32_t Flags() const { return static_cast<const Owner&>(*this).GetFilePermission(); }
};

}  // namespace Vorlaq

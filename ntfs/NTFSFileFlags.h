#pragma once
// The file attribute flags that $STANDARD_INFORMATION (0x20) and $FILE_NAME (0x38) both store,
// as one u32: 0x1 read-only, 0x2 hidden, 0x4 system, 0x200 sparse, 0x800 compressed, 0x4000
// encrypted, and (in $FILE_NAME only) 0x10000000 directory.
#include <cstdint>

namespace Vorlaq {

// The flag accessors of a class whose GetFilePermission() const returns the flags.
template <typename Owner>
class NTFSFileFlags {
public:
    bool IsReadOnly() const { return Flags() & 0x1; }
    bool IsHidden() const { return Flags() & 0x2; }
    bool IsSystem() const { return Flags() & 0x4; }
    bool IsSparse() const { return Flags() & 0x200; }
    bool IsCompressed() const { return Flags() & 0x800; }
    bool IsEncrypted() const { return Flags() & 0x4000; }

private:
    uint32_t Flags() const { return static_cast<const Owner&>(*this).GetFilePermission(); }
};

}  // namespace Vorlaq

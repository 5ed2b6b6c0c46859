#pragma once
// The shadow copies of an NTFS volume, each one more view of the volume through the device
// interface: the reader and the scan read a copy as they read the volume itself. The POSIX build
// reads the stores through libvshadow on top of the volume's own device (raw, container,
// partition); the Windows build cannot.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/os/Device.h"
#include "base/os/ShadowCatalog.h"

namespace Vorlaq {

class ShadowCopySet {
public:
    virtual ~ShadowCopySet() = default;
    // The copies whose stores could be opened, in catalog order; the others were logged.
    const std::vector<ShadowCatalogEntry>& GetCopies() const { return copies_; }
    // Copy `number` as a device of its own (the set stays open while it lives); null when the set
    // has no such copy.
    virtual std::unique_ptr<Device> OpenCopy(uint32_t number) = 0;

protected:
    std::vector<ShadowCatalogEntry> copies_;
};

// False in the Windows build.
bool CanReadShadowCopies();

// The shadow copies of the volume `volume` reads (`volumeSize` bytes, as its boot sector says).
// Null when the volume has none. A damaged catalog or store is logged as an error and the copies
// that can still be read are offered.
std::unique_ptr<ShadowCopySet> OpenShadowCopies(std::unique_ptr<Device> volume, uint64_t volumeSize);

}  // namespace Vorlaq

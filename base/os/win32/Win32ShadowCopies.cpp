// Shadow copies are read through libvshadow, which the Windows build does not carry.
#include "base/os/ShadowCopies.h"

namespace Vorlaq {

bool CanReadShadowCopies() { return false; }

std::unique_ptr<ShadowCopySet> OpenShadowCopies(std::unique_ptr<Device>, uint64_t) { return nullptr; }

}  // namespace Vorlaq

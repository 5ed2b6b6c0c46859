#include "tests/support/PatchDevice.h"

#include <algorithm>
#include <cstring>

namespace QuorretTest {

bool PatchDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    if (!inner_->ReadAt(offset, buffer, length, delivered)) return false;
    const uint64_t end = offset + *delivered;
    auto* out = static_cast<uint8_t*>(buffer);
    for (const auto& [at, bytes] : patches_) {
        uint64_t from = std::max(at, offset);
        uint64_t to = std::min<uint64_t>(at + bytes.size(), end);
        if (from < to) std::memcpy(out + (from - offset), bytes.data() + (from - at), static_cast<size_t>(to - from));
    }
    return true;
}

}  // namespace QuorretTest

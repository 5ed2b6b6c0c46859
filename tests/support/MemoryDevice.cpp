#include "tests/support/MemoryDevice.h"

#include <algorithm>
#include <cstring>

namespace QuorretTest {

bool MemoryDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    if (offset >= bytes_->size()) return true;
    uint64_t n = std::min<uint64_t>(length, bytes_->size() - offset);
    std::memcpy(buffer, bytes_->data() + offset, static_cast<size_t>(n));
    *delivered = static_cast<uint32_t>(n);
    return true;
}

FaultDevice::FaultDevice(std::unique_ptr<Vorlaq::Device> inner, FaultPlan plan,
                         std::shared_ptr<std::atomic<uint64_t>> reads)
    : inner_(std::move(inner)), plan_(plan), reads_(std::move(reads)) {}

bool FaultDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    uint64_t k = ++count_;
    if (reads_) ++*reads_;
    if (k == plan_.failAtRead || (plan_.failFromRead != 0 && k >= plan_.failFromRead)) return false;
    bool touches = plan_.rangeBegin < plan_.rangeEnd && offset < plan_.rangeEnd &&
                   offset + length > plan_.rangeBegin;
    if (touches && !plan_.rangeShort) return false;
    uint32_t want = length;
    if (touches) want = offset < plan_.rangeBegin ? static_cast<uint32_t>(plan_.rangeBegin - offset) : 0;
    if (k == plan_.shortAtRead) want = std::min(want, plan_.shortKeep);
    if (want == 0) return true;
    return inner_->ReadAt(offset, buffer, want, delivered);
}

}  // namespace QuorretTest

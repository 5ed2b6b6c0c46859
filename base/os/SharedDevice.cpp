#include <algorithm>

#include "base/os/Device.h"

namespace Vorlaq {

namespace {

// One open device read by several owners, from `base` on: each volume over it holds one of these.
class SharedDevice : public Device {
public:
    SharedDevice(std::shared_ptr<Device> inner, uint64_t base) : inner_(std::move(inner)), base_(base) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset > UINT64_MAX - base_) return false;
        return inner_->ReadAt(base_ + offset, buffer, length, delivered);
    }

    void Prefetch(uint64_t offset, uint64_t length) override {
        if (offset <= UINT64_MAX - base_) inner_->Prefetch(base_ + offset, length);
    }

    std::vector<DamagedSpan> KnownDamage() override {
        std::vector<DamagedSpan> spans;
        for (const DamagedSpan& span : inner_->KnownDamage()) {
            if (span.length == 0 || span.offset > UINT64_MAX - span.length || span.offset + span.length <= base_)
                continue;
            const uint64_t start = std::max(span.offset, base_);
            spans.push_back({start - base_, span.offset + span.length - start});
        }
        return spans;
    }

private:
    std::shared_ptr<Device> inner_;
    uint64_t base_;
};

}  // namespace

std::unique_ptr<Device> ShareDevice(std::shared_ptr<Device> device, uint64_t base) {
    if (!device) return nullptr;
    return std::make_unique<SharedDevice>(std::move(device), base);
}

}  // namespace Vorlaq

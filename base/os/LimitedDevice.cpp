#include <algorithm>

#include "base/os/Device.h"

namespace Vorlaq {

namespace {

class LimitedDevice : public Device {
public:
    LimitedDevice(std::unique_ptr<Device> inner, uint64_t length) : inner_(std::move(inner)), length_(length) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset >= length_) return true;
        uint32_t allowed = static_cast<uint32_t>(std::min<uint64_t>(length, length_ - offset));
        return inner_->ReadAt(offset, buffer, allowed, delivered);
    }

    void Prefetch(uint64_t offset, uint64_t length) override {
        if (offset < length_) inner_->Prefetch(offset, std::min(length, length_ - offset));
    }

    std::vector<DamagedSpan> KnownDamage() override {
        std::vector<DamagedSpan> spans;
        for (const DamagedSpan& span : inner_->KnownDamage())
            if (span.offset < length_) spans.push_back({span.offset, std::min(span.length, length_ - span.offset)});
        return spans;
    }

private:
    std::unique_ptr<Device> inner_;
    uint64_t length_;
};

}  // namespace

std::unique_ptr<Device> LimitDevice(std::unique_ptr<Device> inner, uint64_t length) {
    if (!inner) return nullptr;
    return std::make_unique<LimitedDevice>(std::move(inner), length);
}

}  // namespace Vorlaq

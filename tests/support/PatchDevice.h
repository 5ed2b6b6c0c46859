#pragma once
// A device that reads through another one and lays byte patches over what comes back: for
// volumes that are real apart from a few bytes a test supplies (a missing record, garbage where
// a test wants it).
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "base/os/Device.h"

namespace QuorretTest {

class PatchDevice : public Vorlaq::Device {
public:
    explicit PatchDevice(std::unique_ptr<Vorlaq::Device> inner) : inner_(std::move(inner)) {}
    // Later patches win where they overlap earlier ones.
    void Patch(uint64_t offset, std::vector<uint8_t> bytes) { patches_.emplace_back(offset, std::move(bytes)); }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override;

private:
    std::unique_ptr<Vorlaq::Device> inner_;
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> patches_;
};

}  // namespace QuorretTest

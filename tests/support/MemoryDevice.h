#pragma once
// Devices for tests: a volume held in memory, and a device that fails or comes back short on
// demand (at the k-th read, or on every read that touches a range of bytes).
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/os/Device.h"

namespace QuorretTest {

using Bytes = std::vector<uint8_t>;

// Reads from shared bytes; a read past the end succeeds short, as a file's would.
class MemoryDevice : public Vorlaq::Device {
public:
    explicit MemoryDevice(std::shared_ptr<const Bytes> bytes) : bytes_(std::move(bytes)) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override;

private:
    std::shared_ptr<const Bytes> bytes_;
};

struct FaultPlan {
    uint64_t failAtRead = 0;   // this read (counted from 1) fails; 0: none
    uint64_t failFromRead = 0; // this read and every one after it fail; 0: none
    uint64_t shortAtRead = 0;  // this read delivers only `shortKeep` bytes; 0: none
    uint32_t shortKeep = 0;
    // Every read that touches [rangeBegin, rangeEnd) fails, or with rangeShort delivers only the
    // bytes before rangeBegin. An empty range touches nothing.
    uint64_t rangeBegin = 0;
    uint64_t rangeEnd = 0;
    bool rangeShort = false;
    // Spans the device reports as damaged (a container's chunks that failed their checksums).
    std::vector<Vorlaq::DamagedSpan> damaged;
};

class FaultDevice : public Vorlaq::Device {
public:
    // `reads`, when given, counts this device's reads (shared with the test, which outlives it).
    FaultDevice(std::unique_ptr<Vorlaq::Device> inner, FaultPlan plan,
                std::shared_ptr<std::atomic<uint64_t>> reads = nullptr);
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override;
    std::vector<Vorlaq::DamagedSpan> KnownDamage() override { return plan_.damaged; }

private:
    std::unique_ptr<Vorlaq::Device> inner_;
    FaultPlan plan_;
    std::shared_ptr<std::atomic<uint64_t>> reads_;
    std::atomic<uint64_t> count_{0};  // the scan reads its $MFT ahead on a second thread
};

}  // namespace QuorretTest

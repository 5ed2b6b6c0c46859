#pragma once
// Small helpers shared by the reader's tests: opening a synthetic volume, patching record bytes.
#include <cstdint>
#include <memory>
#include <string>

#include "ntfs/NTFSVolume.h"
#include "tests/support/MemoryDevice.h"
#include "tests/support/VolumeImage.h"

namespace QuorretTest {

inline std::unique_ptr<Vorlaq::NTFSVolume> OpenVolume(const std::shared_ptr<const Bytes>& image) {
    return std::make_unique<Vorlaq::NTFSVolume>(OpenImage(image), L"\\");
}

inline std::unique_ptr<Vorlaq::NTFSVolume> OpenVolume(const VolumeImage& image) { return OpenVolume(image.Build()); }

inline void PutLE(Bytes& b, size_t at, uint64_t value, int width) {
    if (b.size() < at + width) b.resize(at + width);
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline Bytes Pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

}  // namespace QuorretTest

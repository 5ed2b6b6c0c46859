#pragma once
// SHA-256 for comparing restored or read bytes with the fixtures' manifests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace QuorretTest {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    // Lower-case hex of the digest; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const uint8_t* p);

    uint32_t h_[8];
    uint8_t buffer_[64];
    size_t used_ = 0;
    uint64_t length_ = 0;
};

}  // namespace QuorretTest

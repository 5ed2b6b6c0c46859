#include "ntfs/NTFSLznt1.h"

#include <cstring>

namespace Vorlaq {

namespace {

constexpr size_t kChunkSize = 4096;

// Expands one compressed chunk body into `out` (at most 4096 bytes); false when a
// back-reference points before the chunk's start or past its end.
bool ExpandChunk(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    size_t ip = 0;
    size_t op = 0;
    while (ip < inSize) {
        uint8_t flags = in[ip++];
        for (int bit = 0; bit < 8 && ip < inSize; ++bit) {
            if ((flags & (1u << bit)) == 0) {
                if (op >= outSize) return false;
                out[op++] = in[ip++];
                continue;
            }
            if (ip + 2 > inSize) return false;
            uint16_t token = static_cast<uint16_t>(in[ip] | (in[ip + 1] << 8));
            ip += 2;
            // The further into the chunk, the more bits the offset takes (4 at first, 12 at most).
            unsigned lengthBits = 12;
            for (size_t pos = op - 1; op > 0 && pos >= 0x10; pos >>= 1) --lengthBits;
            size_t offset = (token >> lengthBits) + 1;
            size_t length = (token & ((1u << lengthBits) - 1)) + 3;
            if (op == 0 || offset > op || length > outSize - op) return false;
            for (size_t i = 0; i < length; ++i, ++op) out[op] = out[op - offset];
        }
    }
    return true;
}

}  // namespace

bool DecompressLznt1(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
    std::memset(output, 0, outputSize);
    size_t ip = 0;
    for (size_t slot = 0; slot < outputSize; slot += kChunkSize) {
        if (ip + 2 > inputSize) break;
        uint16_t header = static_cast<uint16_t>(input[ip] | (input[ip + 1] << 8));
        if (header == 0) break;
        size_t body = (header & 0x0FFF) + 1;
        ip += 2;
        if (body > inputSize - ip) return false;
        size_t room = outputSize - slot < kChunkSize ? outputSize - slot : kChunkSize;
        if (header & 0x8000) {
            if (!ExpandChunk(input + ip, body, output + slot, room)) return false;
        } else {
            // A chunk that would not shrink is stored plain.
            if (body > room) return false;
            std::memcpy(output + slot, input + ip, body);
        }
        ip += body;
    }
    return true;
}

}  // namespace Vorlaq

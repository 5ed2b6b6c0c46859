#pragma once
// LZNT1, the compression of NTFS compressed streams: a unit's stored bytes are chunks that each
// expand to at most 4096 bytes. A chunk is a 16-bit header (low 12 bits: chunk size - 3; bit 15:
// compressed) followed either by 4096 plain bytes or by groups of a flag byte and eight tokens
// (flag bit 0: a literal byte; 1: a 16-bit back-reference whose split between offset and length
// depends on how far into the chunk the output is).
#include <cstddef>
#include <cstdint>

namespace Vorlaq {

// Expands `input` into `output` (its whole size is written: each chunk fills its 4096-byte slot,
// short chunks and everything after the last chunk as zeros). False on a malformed chunk.
bool DecompressLznt1(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize);

}  // namespace Vorlaq

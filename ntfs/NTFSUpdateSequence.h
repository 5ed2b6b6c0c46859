#pragma once
// The update-sequence fix-up of multi-sector structures (file records, index blocks): the last
// two bytes of every 512-byte block hold the update sequence number, and the array at the offset
// in header field 0x04 (count at 0x06: the number plus one saved value per block) keeps the
// real bytes.
#include <cstddef>
#include <cstdint>

namespace Vorlaq {

constexpr size_t kUpdateSequenceBlock = 512;

// False when the array lies outside the buffer, its count does not match size / 512 + 1, the
// size is not whole blocks, or a block does not end in the update sequence number.
bool CheckUpdateSequence(const uint8_t* data, size_t size);
// Checks as above and, when that passes, patches `size` bytes in place; false leaves them as they were.
bool ApplyUpdateSequence(uint8_t* data, size_t size);

}  // namespace Vorlaq

#include "ntfs/NTFSUpdateSequence.h"

#include "base/ByteReader.h"

namespace Vorlaq {

bool CheckUpdateSequence(const uint8_t* data, size_t size) {
    ByteReader header(data, size);
    auto arrayOffset = header.U16(0x04);
    auto count = header.U16(0x06);
    if (!arrayOffset || !count || size == 0 || size % kUpdateSequenceBlock != 0) return false;
    size_t blocks = size / kUpdateSequenceBlock;
    if (*count != blocks + 1 || !header.Contains(*arrayOffset, size_t{*count} * 2)) return false;
    uint16_t number = *header.U16(*arrayOffset);
    for (size_t i = 0; i < blocks; ++i)
        if (*header.U16((i + 1) * kUpdateSequenceBlock - 2) != number) return false;
    return true;
}

bool ApplyUpdateSequence(uint8_t* data, size_t size) {
    if (!CheckUpdateSequence(data, size)) return false;
    ByteReader header(data, size);
    const size_t arrayOffset = *header.U16(0x04);
    for (size_t i = 0; i < size / kUpdateSequenceBlock; ++i) {
        size_t end = (i + 1) * kUpdateSequenceBlock - 2;
        uint16_t saved = *header.U16(arrayOffset + (i + 1) * 2);
        data[end] = static_cast<uint8_t>(saved & 0xFF);
        data[end + 1] = static_cast<uint8_t>(saved >> 8);
    }
    return true;
}

}  // namespace Vorlaq

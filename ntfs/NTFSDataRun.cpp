#include "ntfs/NTFSDataRun.h"

namespace Vorlaq {

bool DecodeDataRun(const ByteReader& runs, size_t* cursor, uint64_t* length, int64_t* offset) {
    auto header = runs.U8(*cursor);
    if (!header) return false;
    unsigned lengthBytes = *header & 0x0F;
    unsigned offsetBytes = *header >> 4;
    if (lengthBytes > 8 || offsetBytes > 8) return false;
    size_t at = *cursor + 1;
    if (!runs.Contains(at, size_t{lengthBytes} + offsetBytes)) return false;

    uint64_t runLength = 0;
    for (unsigned i = 0; i < lengthBytes; ++i) runLength |= uint64_t{*runs.U8(at + i)} << (8 * i);
    if (static_cast<int64_t>(runLength) < 0) return false;
    at += lengthBytes;

    uint64_t runOffset = 0;
    if (offsetBytes > 0) {
        // Sign-extend from the top bit of the last offset byte.
        if (*runs.U8(at + offsetBytes - 1) & 0x80) runOffset = UINT64_MAX;
        for (unsigned i = 0; i < offsetBytes; ++i) {
            runOffset &= ~(uint64_t{0xFF} << (8 * i));
            runOffset |= uint64_t{*runs.U8(at + i)} << (8 * i);
        }
        at += offsetBytes;
    }
    *length = runLength;
    *offset = static_cast<int64_t>(runOffset);
    *cursor = at;
    return true;
}

}  // namespace Vorlaq

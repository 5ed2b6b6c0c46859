// The libFuzzer entry of one target; QUORRET_FUZZ_TARGET names the harness function.
#include <cstddef>
#include <cstdint>

#include "fuzz/harness/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return QuorretFuzz::QUORRET_FUZZ_TARGET(data, size);
}

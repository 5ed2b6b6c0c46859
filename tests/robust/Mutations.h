#pragma once
// Damaged copies of a fixture volume, described as patches over the pristine bytes: bit flips in
// records, zeroed sectors, truncation, run lists pointing past the end, parent chains that point
// at themselves or loop, attribute lists that name themselves or each other, huge sizes, and the
// boot sector's size bytes at their extremes. The same image always gives the same list.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/robust/RobustSupport.h"

namespace QuorretTest {

struct Mutation {
    std::string name;
    std::vector<Patch> patches;
    uint64_t size = UINT64_MAX;  // the image is cut here
};

struct MutationSet {
    std::vector<Mutation> mutations;
    std::vector<uint64_t> files;  // the deleted files whose records, folders and data were damaged
};

// `deletedRecords` are the records the pristine scan reported: a few of them, spread over the
// MFT, their folders and their data are the targets of most mutations.
MutationSet MakeMutations(const Bytes& image, const std::vector<uint64_t>& deletedRecords);

}  // namespace QuorretTest

#pragma once
// The lines that tell a user which offsets open the NTFS volumes of a whole-disk image.
#include <string>

#include "scan/PartitionTable.h"

namespace Vorlaq {

// `source` and `command` shape the example.
std::wstring DescribePartitionTable(const PartitionTable& table, const std::wstring& source,
                                    const std::wstring& command);

}  // namespace Vorlaq

// The first look at a source, before any volume is read: a container's signature at its start or
// end, and the partition table of a whole disk.
#include <algorithm>
#include <memory>

#include "base/os/ContainerFormat.h"
#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzTargets.h"
#include "scan/PartitionTable.h"
#include "tests/support/MemoryDevice.h"

using namespace Vorlaq;

namespace QuorretFuzz {

namespace {

// An MBR names at most 4 primary and 128 logical partitions; a GPT array is read in 1 MiB.
constexpr size_t kMostPartitions = 4 + 128 + (1u << 20) / 128;

}  // namespace

int FuzzSourceProbe(const uint8_t* data, size_t size) {
    const size_t head = std::min(size, kContainerProbeSize);
    const ContainerFormat format = DetectContainerFormat(data, head, data + size - head, head);
    Check((format == ContainerFormat::None) == (ContainerFormatName(format)[0] == L'\0'),
          "a container format has a name, and only a container format");

    QuorretTest::MemoryDevice disk(std::make_shared<const QuorretTest::Bytes>(data, data + size));
    const PartitionTable table = ReadPartitionTable(disk);
    Check(table.scheme != PartitionScheme::None || table.partitions.empty(), "no table lists no partition");
    Check(table.partitions.size() <= kMostPartitions, "the partitions are bounded by the table's limits");
    Check(table.sectorSize == 512 || table.sectorSize == 4096, "a table's sector is 512 or 4096 bytes");
    for (const PartitionEntry& entry : table.partitions) {
        Check(entry.number != 0, "partitions are numbered from 1");
        Check(entry.offset % table.sectorSize == 0, "a partition starts on a sector");
        Check(!entry.type.empty(), "a partition's type is named");
    }
    return 0;
}

}  // namespace QuorretFuzz

#pragma once
// The fuzz targets: one per parser entry point, each taking its whole input from memory. The
// libFuzzer binaries (fuzz/) call them; the native tests replay the committed regression inputs
// through them (tests/robust/). Each returns 0; a broken promise aborts with a message.
#include <cstddef>
#include <cstdint>

namespace QuorretFuzz {

// A whole small image: boot sector, volume start-up, then records read through the volume.
int FuzzVolumeStartup(const uint8_t* data, size_t size);
// One file record (raw, before fix-up) and optional data clusters behind it.
int FuzzFileRecord(const uint8_t* data, size_t size);
// A non-resident attribute header's fields, its run list and the clusters reads are served from.
int FuzzDataRuns(const uint8_t* data, size_t size);
// A base record with an $ATTRIBUTE_LIST and the extension records it names.
int FuzzAttributeList(const uint8_t* data, size_t size);
// One compressed unit and the size it expands into.
int FuzzLznt1(const uint8_t* data, size_t size);
// A whole small image: the scan, then a restore of every file it found.
int FuzzScanRestore(const uint8_t* data, size_t size);
// Any bytes as a whole source: the deep scan's carver, folders and cluster size, then a restore
// of every old file it found.
int FuzzDeepScan(const uint8_t* data, size_t size);
// Filter text, file names and paths: filters, path utilities and destination names.
int FuzzTextUtils(const uint8_t* data, size_t size);
// A Recycle Bin index file ($I): versions, lengths and the original path.
int FuzzRecycleBinIndex(const uint8_t* data, size_t size);
// A source's first and last bytes: container signatures, and an MBR or GPT partition table.
int FuzzSourceProbe(const uint8_t* data, size_t size);
// A volume with shadow copies, given as its size and the pieces that are not zeros: the catalog,
// the stores through libvshadow, and the scan of every copy against the live volume.
int FuzzShadowCopies(const uint8_t* data, size_t size);
// An index block or file record: the $FILE_NAMEs carved from its slack and from the bytes as given.
int FuzzSlackNames(const uint8_t* data, size_t size);
// A piece of a change journal ($UsnJrnl:$J): the records walked from its start.
int FuzzUsnRecords(const uint8_t* data, size_t size);

}  // namespace QuorretFuzz

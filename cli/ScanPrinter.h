#pragma once
// The found files on standard output, as a table, as tab-separated values or as JSON lines.
#include <memory>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

class ScanPrinter {
public:
    virtual ~ScanPrinter() = default;
    // One found file, in the order the scan reports them.
    virtual void Add(const DeletedFileInfo& file) = 0;
    // After the last file: a table is laid out and written only now.
    virtual void Finish() = 0;
};

// table: the found-files list's seven columns with its texts, aligned under a header line.
// tsv: a header line, then record, name, path, type, size in bytes, modified, created (ISO 8601,
//      empty when unknown); control characters in texts as C escapes.
// json: one object per file and line with record, name, path, type, size, modified, created,
//      accessed (ISO 8601 strings, null when unknown).
// body: The Sleuth Kit's body file (BodyPrinter.h).
// With `recoverable`, each format but body ends with one more column (key): recoverable, the file's
// RecoverabilityText.
std::unique_ptr<ScanPrinter> MakeScanPrinter(ScanFormat format, Console& console, bool recoverable = false);

}  // namespace Vorlaq

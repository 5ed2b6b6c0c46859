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

// table: the found-files list's seven columns with its texts, aligned under a header line; a file
//      from an emptied Recycle Bin shows its original name and folder, the folder followed by
//      " (bin)"; controls and bidirectional overrides in texts escaped (EscapeControls).
// tsv: a header line, then record, name, path, type, size in bytes, modified, created (ISO 8601,
//      empty when unknown), original_path and deleted (from the Recycle Bin's index, empty when
//      unknown); texts escaped so that they decode back (AppendTsvField).
// json: one object per file and line with record, name, path, type, size, modified, created,
//      accessed, original_path, deleted (ISO 8601 strings, null when unknown).
// body: The Sleuth Kit's body file (BodyPrinter.h).
// With `recoverable`, table, tsv and json carry one more column (key), the file's
// RecoverabilityText: the table's last; in tsv and json just before original_path.
// With `shadowCopies`, tsv and json carry the columns copy and copy_created (the shadow copy a
// file was found in and when it was made; empty or null for the volume's own files), and the
// table's Index shows a copy's file as COPY:RECORD (ShadowFileId).
// With `traces`, rows of names found only in traces (numbered "T1", ...: a string in json) and
// one more column, last: table "Found In" and tsv found_in with TraceSourcesText (empty for a
// file of its own record), json found_in an array of those words.
// With `deep` (never with `traces`), a file the deep scan found outside the live MFT shows
// "@POSITION" as its record (a string in json), and one more column, last, marks it: table
// "Old MFT" ("yes" or empty), tsv old_mft (1 or 0), json old_mft (true or false).
std::unique_ptr<ScanPrinter> MakeScanPrinter(ScanFormat format, Console& console, bool recoverable = false,
                                             bool shadowCopies = false, bool traces = false, bool deep = false);

}  // namespace Vorlaq

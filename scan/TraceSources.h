#pragma once
// Where a name found only in traces was seen: bits of DeletedFileInfo's trace sources, and the
// words the printers use for them.
#include <cstdint>
#include <string>

namespace Vorlaq {

constexpr uint8_t kTraceIndexSlack = 0x1;   // an index entry past the used part of a folder's index block
constexpr uint8_t kTraceRecordSlack = 0x2;  // a $FILE_NAME past the used part of a file record
constexpr uint8_t kTraceUsn = 0x4;          // a change-journal record of the file's deletion or rename
// Not a place but what the name was: one the file had before a rename (a journal record of the
// old name, or a trace naming a file whose record still holds it under another name).
constexpr uint8_t kTraceOldName = 0x8;

// "index-slack", "record-slack", "usn", "old-name", joined by commas in that order.
std::wstring TraceSourcesText(uint8_t sources);

}  // namespace Vorlaq

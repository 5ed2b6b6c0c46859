#pragma once
// $FILE_NAME values carved from slack: the bytes of an index block past its last entry, or of a
// file record past its used size, where entries and attributes of earlier states still lie.
// Both forms start on an 8-byte boundary of the structure they lie in, so every such boundary of
// the slack is tried:
//   index entry: 0x00 u64 file reference, 0x08 u16 entry length, 0x0A u16 key length,
//                0x0C u8 flags (0x1 child node, 0x2 last), the $FILE_NAME key at 0x10; the
//                length is the key's end rounded up to 8, plus 8 with a child node's VCN
//   resident $FILE_NAME attribute: 0x00 u32 type 0x30, 0x04 u32 length (value's end rounded up
//                to 8), 0x08 u8 non-resident 0, 0x09 u8 name length 0, 0x10 u32 value length,
//                0x14 u16 value offset 0x18, 0x16 u8 indexed 1, the value at 0x18
// or, where neither header survived, a $FILE_NAME value alone. Either way the key or value must be exactly as long as its name needs, and the name must pass
// IsPlausibleFileName: a wrong name is worse than a missing one. An index entry must also end
// within the slack: one whose header describes its key but claims more is refused, key and all.
#include <cstdint>
#include <vector>

#include "base/ByteReader.h"

namespace Vorlaq {

// Key: a $FILE_NAME value alone, where an index entry's header was written over (a node's end
// entry is 16 bytes: the first entry deleted from a node's end keeps only its key).
enum class NTFSSlackForm : uint8_t { IndexEntry, Attribute, Key };

struct NTFSSlackName {
    NTFSSlackForm form = NTFSSlackForm::IndexEntry;
    uint64_t fileRef = 0;  // an index entry's file reference (sequence in the top 16 bits); 0 for an attribute
    ByteReader value;      // the $FILE_NAME value, fixed part and name
};

// FILETIMEs a trace's times must lie within: 1980-01-01 to 2100-01-01 (UTC).
constexpr uint64_t kNTFSPlausibleTimeFirst = 119600064000000000ull;
constexpr uint64_t kNTFSPlausibleTimeEnd = 157469184000000000ull;

// The bytes of a fixed-up index block (node header at 0x18) after its entries: from the end of
// the entries' size to the end of the node's allocated size, both clamped to the block; empty
// when the header makes no sense.
ByteReader IndexBlockSlack(const ByteReader& block);
// The whole node of an index block no longer in use (its bit in the index's $BITMAP clear): from
// its first entry to the end of its allocated size, clamped to the block.
ByteReader IndexBlockNode(const ByteReader& block);
// The bytes of a fixed-up file record after its used size (0x18) up to its allocated size (0x1C),
// clamped to the record; empty when the header makes no sense.
ByteReader FileRecordSlack(const ByteReader& record);

// A $FILE_NAME value someone could have written: a name of 1 to 255 units that fills the value
// exactly (`value` is as long as the name needs), a namespace 0-3, no NUL or other C0 control,
// no '/', and for a Win32 name none of \ : * ? " < > |, no unpaired surrogate, not "." or "..";
// known attribute flags only; four times inside the plausible range; a parent reference with a
// record number of 5 (the root) or more and a sequence number.
bool IsPlausibleFileName(const ByteReader& value);

// Every plausible $FILE_NAME in `slack` in any form, in order of position; a key inside an entry
// or attribute found is not found again on its own.
std::vector<NTFSSlackName> CarveFileNames(const ByteReader& slack);

}  // namespace Vorlaq

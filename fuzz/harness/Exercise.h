#pragma once
// What the targets do with whatever the reader built: every query the scan and the restore
// make, every accessor of the attribute classes, and reads over every stream, checking the
// promises the interfaces make (a successful read delivers what was asked within the stream, a
// name fits the length returned, a stream found by name carries that name).
#include <cstdint>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"

namespace QuorretFuzz {

// Aborts with the message when `condition` is false: the fuzzer reports it as a crash.
void Check(bool condition, const char* promise);

// Reads the stream the way the restore does (64 KiB pieces from 0, at most `limit` bytes), then a
// few unaligned reads and reads at and past its end.
void ReadStream(Vorlaq::NTFSAttributeBase& attr, uint64_t limit);

// The attribute's own accessors (by its class), its run list if it has one, and reads over it.
void ExerciseAttribute(Vorlaq::NTFSAttributeBase& attr, uint64_t readLimit);

// The record's queries and every attribute it holds, with its type's own accessors.
void ExerciseRecord(Vorlaq::NTFSFileRecord& record, uint64_t readLimit);

// The masks the system parses with (names and times, data, the $Volume record) and one that
// builds every attribute class.
constexpr uint32_t kMasks[] = {0x4, 0x80, 0x60, 0xFFFFFFFF};

// Reads record `number` under every mask in turn (and once more, names then data, on one object
// as the scan does) and exercises what each parse built.
void ExerciseRecordNumber(const Vorlaq::NTFSVolume& volume, uint64_t number, uint64_t readLimit);

}  // namespace QuorretFuzz

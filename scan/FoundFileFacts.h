#pragma once
// What a found file's row takes from its record: the times of $STANDARD_INFORMATION, the
// read-only flag, and the unnamed $DATA with its size. The live walk and the walk of a shadow
// copy's MFT read them alike.
#include <cstdint>
#include <string>

#include "base/FileTime.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

struct FoundFileFacts {
    uint64_t modified = 0, created = 0, accessed = 0;
    StandardTimes standardTimes;
    bool readOnly = false;
    NTFSAttributeBase* data = nullptr;  // the record's own: valid until it is read again
    uint64_t size = 0;

    // The row with these facts and the name and path given.
    DeletedFileInfo Row(const std::wstring& volume, uint64_t recordNumber, std::wstring name, std::wstring path) const;
    // Sets these facts in `row`: size, times, read-only flag.
    void Fill(DeletedFileInfo& row) const;
};

// Reads the facts of a record whose names are parsed; parses its $DATA attributes too.
FoundFileFacts ReadFoundFileFacts(NTFSFileRecord& record);

}  // namespace Vorlaq

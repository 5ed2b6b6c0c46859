#pragma once
// The volume's change journal, $Extend\$UsnJrnl:$J: found through $Extend's index, read run by
// run with its sparse runs (the journal's discarded start, often gigabytes) passed over, its
// records handed to a callback in order.
#include <atomic>
#include <cstdint>
#include <functional>

#include "ntfs/NTFSUsnRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

// $Extend's record number: the folder that holds the journal.
constexpr uint64_t kNTFSExtendRecord = 11;

struct ChangeJournalCounts {
    bool found = false;     // $UsnJrnl with a $J stream exists
    uint64_t records = 0;   // records decoded
    uint64_t bytesRead = 0; // stored bytes of $J read
};

// Every record of the journal to `sink`; stops between reads once `stop` is set.
ChangeJournalCounts ReadChangeJournal(const NTFSVolume& volume, const std::function<void(const NTFSUsnRecord&)>& sink,
                                      const std::atomic<bool>* stop = nullptr);

}  // namespace Vorlaq

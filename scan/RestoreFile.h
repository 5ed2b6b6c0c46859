#pragma once
// Copies a deleted file's unnamed $DATA stream out of the volume into a new file. Runs on the
// caller's thread and blocks it for the whole copy; a window caller shows the wait cursor around
// the call.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/os/Files.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

// Why the record no longer holds the file the scan found.
enum class RecordChange { None, Unreadable, InUse, Reused };

struct RestoreOutcome {
    bool ok = false;           // created, and every byte of the stream read and written, none damaged
    bool interrupted = false;  // the stop flag ended the copy
    std::wstring dest;         // the file made; empty when none was
    uint64_t written = 0;      // bytes in it: a file that failed part-way keeps what was read
    uint64_t holes = 0;        // of those, bytes left as holes (sparse runs): never read or stored
    uint64_t size = 0;         // the stream's size, once known
    bool timesKept = false;    // RestoreChoices::keepTimes, and the times were set
    uint32_t timesError = 0;   // why they were not: the platform's code; 0 when the record has none
    RecordChange change = RecordChange::None;  // nothing was made: the record changed since it was found
    uint64_t damagedBytes = 0;  // of `written`, bytes from chunks of the source known to be damaged
    bool sourceEnded = false;   // the copy stopped where the source ends, short of the volume's end
    std::wstring reason;        // why ok is false, in a few words for a list of failed files
};

// What a restore copies besides the unnamed stream's bytes.
struct RestoreChoices {
    std::wstring stream;     // this named $DATA stream instead of the unnamed one
    uint16_t sequence = 0;   // the record's sequence number when the file was found; 0 checks none
    bool keepTimes = false;  // the record's $STANDARD_INFORMATION times on the file made
    // The source is a shadow copy: a record in use there is the copy's file, kept as it was.
    bool inUseToo = false;
    // Called once every byte is written, before the times are set and the file is closed: the
    // file made and its path (its named streams are made through it while no one can replace it).
    std::function<void(WritableFile& file, const std::wstring& dest)> whileOpen;
};

// Makes the destination file once the record is known to be worth restoring; sets *dest to the
// file's path. Null (the reason logged) when it could not.
using DestinationMaker = std::function<std::unique_ptr<WritableFile>(std::wstring* dest)>;

// The copy, with the destination made by `make`. `stop`, when given, is polled between reads.
RestoreOutcome RestoreFile(const VolumeSource& source, uint64_t recordNumber, const DestinationMaker& make,
                           const std::atomic<bool>* stop = nullptr, const RestoreChoices& choices = {});

// Into `folder` under the found file's name made safe and unique (CreateUniqueFile).
RestoreOutcome RestoreFileInto(const VolumeSource& source, uint64_t recordNumber, Folder& folder,
                               const std::wstring& name, const std::atomic<bool>* stop = nullptr,
                               const RestoreChoices& choices = {});

// Onto destPath, replacing what is there: a path the user confirmed in a save dialog.
RestoreOutcome RestoreFileOnto(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                               const std::atomic<bool>* stop = nullptr);
// The same, true when the destination was created and every byte of the stream was read and
// written to it.
bool RestoreFile(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath);

// What stays of a file that failed, the same in every front end: one that holds none of the
// file's bytes is removed (outcome.dest cleared), a stop before its first byte included; one that
// holds some stays as a partial recovery, which can be worth having, and PartialText says how
// much it holds.
void RemoveEmptyFailure(RestoreOutcome& outcome);
// "N of M bytes kept" for a failed file that stays; empty when none does.
std::wstring PartialText(const RestoreOutcome& outcome);

// A new file in `folder` for a file named `name`: the name made safe (SafeFileName) and fitted to
// the destination (FittedName), then, while that name is taken by anything (a file, a folder, a
// link, dangling or not), numbered name_0.ext, name_1.ext, ... from 0. A name the destination
// refuses as too long although it fits the system's count (a file system with a lower limit, such
// as eCryptfs's 143 bytes, or a Linux folder seen from Windows, which counts UTF-8 bytes) is cut
// shorter, a third at a time. Each name is tried by creating it exclusively, so no other program can
// slip in between the test and the creation. Null when the folder refuses for another reason
// (logged, and in *error); *path is the path of the file made.
std::unique_ptr<WritableFile> CreateUniqueFile(Folder& folder, const std::wstring& name, std::wstring* path,
                                               uint32_t* error = nullptr);

// The names CreateUniqueFile tries after the first: stem_K.ext (README_K, .bashrc_K without an
// extension), fitted to `limit` (FittedName).
std::wstring NumberedName(const std::wstring& name, uint64_t k, size_t limit = kMaxNativeNameLength);

}  // namespace Vorlaq

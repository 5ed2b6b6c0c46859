#include "scan/RestoreFile.h"

#include <algorithm>

#include "base/AlignedBytes.h"
#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/FileSystem.h"
#include "scan/FittedName.h"
#include "scan/PathNames.h"
#include "scan/Recoverability.h"
#include "scan/SourceExtent.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kChunk = 0x10000;
// The smallest piece a read that came back short is tried again in: a sector.
constexpr uint32_t kSmallestPiece = 512;
// Below this a name refused as too long is not cut again: the refusal has another cause.
constexpr size_t kShortestLimit = 48;
constexpr uint16_t kAttrFlagEncrypted = 0x4000;

void LogRecordFailure(const wchar_t* format, uint64_t recordNumber, const std::wstring& volume) {
    LogManager::instance().print(LogLevel::Error, format, recordNumber, volume);
}

// Copies the stream in 64 KiB pieces; its holes stay holes in the file, unread. A read that
// comes back short keeps what it delivered and goes on in pieces half as large, down to a sector,
// so that a source cut short (or a device that refuses a read across its end) gives every byte it
// holds; the copy fails where not one byte more arrives. `stop` is polled before each read.
bool CopyStream(NTFSAttributeBase& data, WritableFile& file, RestoreOutcome& outcome, const std::atomic<bool>* stop) {
    AlignedBytes buffer(kChunk);
    const uint64_t size = data.GetDataSize();
    uint64_t storedEnd = 0;  // where the stored stretch being copied ends
    uint32_t piece = kChunk;
    for (uint64_t offset = 0; offset < size;) {
        if (stop && stop->load()) {
            outcome.interrupted = true;
            outcome.reason = L"Stopped";
            return false;
        }
        if (offset >= storedEnd) {
            if (const uint64_t hole = std::min(data.GetHoleLength(offset), size - offset)) {
                uint32_t error = kErrorWriteFault;
                if (!file.WriteHole(hole, &error)) {
                    LogFileError(error, outcome.dest);
                    outcome.reason = FileErrorReason(error);
                    return false;
                }
                outcome.written += hole;
                outcome.holes += hole;
                offset += hole;
                continue;
            }
            storedEnd = std::min(std::max(data.GetNextHole(offset), offset + 1), size);
        }
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(piece, storedEnd - offset));
        uint32_t got = 0;
        const bool whole = data.ReadData(offset, buffer.data(), want, &got) && got == want;
        got = std::min(got, want);
        if (!whole && got == 0 && piece == kSmallestPiece) {
            LogManager::instance().print(LogLevel::Error, L"Failed to read data to restore.");
            outcome.reason = L"Read error on the volume";
            return false;
        }
        if (!whole) piece = std::max(piece / 2, kSmallestPiece);
        if (got == 0) continue;
        uint32_t written = 0;
        uint32_t error = kErrorWriteFault;  // a short write that names no cause
        bool ok = file.Write(buffer.data(), got, &written, &error) && written == got;
        outcome.written += written;
        if (!ok) {
            LogFileError(error, outcome.dest);
            outcome.reason = FileErrorReason(error);
            return false;
        }
        offset += got;
    }
    return true;
}

}  // namespace

RestoreOutcome RestoreFile(const VolumeSource& source, uint64_t recordNumber, const DestinationMaker& make,
                           const std::atomic<bool>* stop, const RestoreChoices& choices) {
    RestoreOutcome outcome;
    if (source.IsEmpty()) return outcome;
    const std::wstring& volumeText = source.GetVolumeText();
    std::unique_ptr<NTFSVolume> volume = source.Open();
    NTFSFileRecord record(volume.get());
    if (!record.ReadFileRecord(recordNumber)) {
        LogRecordFailure(L"Failed to parse FileRecord %I64u at %s.", recordNumber, volumeText);
        outcome.change = RecordChange::Unreadable;
        outcome.reason = L"Record unreadable";
        return outcome;
    }
    // In use again (outside a shadow copy, whose files may be in use there), or freed again by
    // another file: the record now holds another file, whose data is not ours to write out under
    // the deleted file's name.
    const bool reused = choices.sequence != 0 && record.GetSequenceNumber() != choices.sequence;
    if ((!record.IsDeleted() && !choices.inUseToo) || reused) {
        LogRecordFailure(L"Failed to restore reused record for %I64u at %s.", recordNumber, volumeText);
        outcome.change = record.IsDeleted() ? RecordChange::Reused : RecordChange::InUse;
        outcome.reason = record.IsDeleted() ? L"Record reused by another file" : L"Record now in use";
        return outcome;
    }
    record.SetAttrMask(kNTFSMaskData);
    if (!record.ParseAttrs()) {
        if (record.IsCompressed()) {
            LogRecordFailure(L"Failed to restore compressed file for %I64u at %s.", recordNumber, volumeText);
            outcome.reason = L"Compressed data unreadable";
        } else if (record.IsEncrypted()) {
            LogRecordFailure(L"Failed to restore encrypted file for %I64u at %s.", recordNumber, volumeText);
            outcome.reason = L"Encrypted";
        } else {
            LogRecordFailure(L"Failed to parse attribute for %I64u at %s.", recordNumber, volumeText);
            outcome.reason = L"Record unreadable";
        }
        return outcome;
    }
    NTFSAttributeBase* data = record.FindStream(choices.stream.empty() ? nullptr : choices.stream.c_str());
    // EFS data on disk is ciphertext: writing it out would look like a restored file and is not.
    if (record.IsEncrypted() || (data && (data->GetAttrFlags() & kAttrFlagEncrypted))) {
        LogRecordFailure(L"Failed to restore encrypted file for %I64u at %s.", recordNumber, volumeText);
        outcome.reason = L"Encrypted";
        return outcome;
    }
    std::unique_ptr<WritableFile> file = make(&outcome.dest);
    if (!file) {
        outcome.dest.clear();
        outcome.reason = L"Could not be created";
        return outcome;
    }
    uint32_t error = 0;
    if (!data) {
        file->Close(&error);
        outcome.reason = L"No data stream";
        return outcome;
    }
    outcome.size = data->GetDataSize();
    if (!CopyStream(*data, *file, outcome, stop)) {
        // A source cut short explains a failed read of clusters past its end.
        if (!outcome.interrupted && StoredPast(data, volume->GetClusterSize(), MeasureSource(*volume).heldBytes)) {
            outcome.sourceEnded = true;
            outcome.reason = L"The source ends early";
        }
        file->Close(&error);
        return outcome;
    }
    // A container checks a chunk when it is read: bytes from one that failed are not the file's.
    if (Device* device = volume->GetDevice())
        outcome.damagedBytes = std::min(StoredBytesIn(data, volume->GetClusterSize(), device->KnownDamage()), outcome.size);
    if (outcome.damagedBytes != 0) {
        LogManager::instance().print(LogLevel::Error, L"%I64u bytes of %s came from damaged chunks of the source.",
                                     outcome.damagedBytes, outcome.dest);
        outcome.reason = FormatWide(L"%I64u bytes from damaged chunks of the source", outcome.damagedBytes);
        file->Close(&error);
        return outcome;
    }
    if (choices.whileOpen) choices.whileOpen(*file, outcome.dest);
    if (choices.keepTimes) {
        const NTFSStandardTimes times = record.GetStandardTimes();
        if (times.modified || times.accessed || times.created)
            outcome.timesKept = file->SetTimes(times.created, times.modified, times.accessed, &outcome.timesError);
    }
    if (!file->Close(&error)) {
        LogFileError(error, outcome.dest);
        outcome.reason = FileErrorReason(error);
        return outcome;
    }
    LogManager::instance().print(LogLevel::Info, L"File restored: %s.", outcome.dest);
    if (outcome.holes) LogManager::instance().print(LogLevel::Info, L"%I64u bytes left as holes.", outcome.holes);
    outcome.ok = true;
    return outcome;
}

RestoreOutcome RestoreFileInto(const VolumeSource& source, uint64_t recordNumber, Folder& folder,
                               const std::wstring& name, const std::atomic<bool>* stop,
                               const RestoreChoices& choices) {
    uint32_t error = 0;
    RestoreOutcome outcome = RestoreFile(
        source, recordNumber, [&](std::wstring* dest) { return CreateUniqueFile(folder, name, dest, &error); }, stop,
        choices);
    if (error != 0) outcome.reason = FileErrorReason(error);
    return outcome;
}

RestoreOutcome RestoreFileOnto(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                               const std::atomic<bool>* stop) {
    uint32_t error = 0;
    auto overwrite = [&destPath, &error](std::wstring* dest) {
        *dest = destPath;
        std::unique_ptr<WritableFile> file = WritableFile::CreateAlways(destPath, &error);
        if (!file) LogManager::instance().print(LogLevel::Error, L"Failed to create file: %s.", destPath);
        return file;
    };
    RestoreOutcome outcome;
    if (destPath.empty()) return outcome;
    outcome = RestoreFile(source, recordNumber, overwrite, stop);
    if (error != 0) outcome.reason = FileErrorReason(error);
    return outcome;
}

bool RestoreFile(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath) {
    return RestoreFileOnto(source, recordNumber, destPath).ok;
}

void RemoveEmptyFailure(RestoreOutcome& outcome) {
    uint32_t error = 0;
    if (!outcome.ok && outcome.written == 0 && !outcome.dest.empty() &&
        RemoveFilePath(outcome.dest, &error))
        outcome.dest.clear();
}

std::wstring PartialText(const RestoreOutcome& outcome) {
    if (outcome.ok || outcome.dest.empty()) return std::wstring();
    return FormatWide(L"%I64u of %I64u bytes kept", outcome.written, outcome.size);
}

std::wstring NumberedName(const std::wstring& name, uint64_t k, size_t limit) {
    return FittedName(name, FormatWide(L"_%I64u", k), true, limit);
}

std::unique_ptr<WritableFile> CreateUniqueFile(Folder& folder, const std::wstring& name, std::wstring* path,
                                               uint32_t* failure) {
    const std::wstring safe = SafeFileName(name);
    size_t limit = kMaxNativeNameLength;
    auto nameFor = [&](uint64_t attempt) {
        return attempt == 0 ? FittedName(safe, {}, true, limit) : NumberedName(safe, attempt - 1, limit);
    };
    std::wstring candidate = nameFor(0);
    for (uint64_t attempt = 0;;) {
        uint32_t error = 0;
        std::unique_ptr<WritableFile> file = folder.CreateNewFile(candidate, &error);
        *path = JoinPath(folder.GetPath(), candidate);
        if (file) return file;
        // Refused as too long (Wine says "not found" of a name its host cannot hold): the same
        // try, shorter, while cutting still shortens it.
        const size_t length = NativeNameLength(candidate);
        const bool tooLong =
            error == kErrorFilenameExcedRange || error == kErrorInvalidName || error == kErrorFileNotFound;
        if (tooLong && length > kShortestLimit) {
            limit = length * 2 / 3;
            std::wstring shorter = nameFor(attempt);
            if (NativeNameLength(shorter) < length) {
                candidate = std::move(shorter);
                continue;
            }
        }
        // Anything of that name, a link included, is left alone; the next number is tried. The
        // loop ends: every try that fails this way names an entry that exists in the folder.
        if (error != kErrorFileExists && error != kErrorAlreadyExists) {
            LogFileError(error, *path);
            if (failure) *failure = error;
            return nullptr;
        }
        candidate = nameFor(++attempt);
    }
}

}  // namespace Vorlaq

#include "scan/RestoreFile.h"

#include <vector>

#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FileSystem.h"
#include "scan/PathNames.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kDataMask = 0x80;
constexpr uint32_t kChunk = 0x10000;
constexpr uint16_t kAttrFlagEncrypted = 0x4000;

void LogRecordFailure(const wchar_t* format, uint64_t recordNumber, const std::wstring& volume) {
    LogManager::instance().print(LogLevel::Error, format, recordNumber, volume);
}

// Copies the stream in 64 KiB pieces. A piece shorter than asked is accepted only when it is the
// rest of the stream.
bool CopyStream(NTFSAttributeBase& data, WritableFile& file, const std::wstring& destPath) {
    std::vector<uint8_t> buffer(kChunk);
    const uint64_t size = data.GetDataSize();
    uint64_t remaining = size;
    for (uint64_t offset = 0; offset < size; offset += kChunk) {
        uint32_t got = 0;
        if (!data.ReadData(offset, buffer.data(), kChunk, &got) || (got != kChunk && got != remaining)) {
            LogManager::instance().print(LogLevel::Error, L"Failed to read data to restore.");
            return false;
        }
        uint32_t written = 0;
        uint32_t error = kErrorWriteFault;  // a short write that names no cause
        if (!file.Write(buffer.data(), got, &written, &error) || written != got) {
            LogFileError(error, destPath);
            return false;
        }
        remaining -= got;
    }
    return true;
}

}  // namespace

bool RestoreFile(const std::wstring& volume, uint64_t recordNumber, const std::wstring& destPath) {
    return RestoreFile(VolumeSource::FromText(volume), recordNumber, destPath);
}

bool RestoreFile(const VolumeSource& source, uint64_t recordNumber, const std::wstring& destPath,
                 const std::wstring& streamName) {
    if (source.IsEmpty() || destPath.empty()) return false;
    const std::wstring& volumeText = source.GetVolumeText();
    std::unique_ptr<NTFSVolume> volume = source.Open();
    NTFSFileRecord record(volume.get());
    if (!record.ReadFileRecord(recordNumber)) {
        LogRecordFailure(L"Failed to parse FileRecord %I64u at %s.", recordNumber, volumeText);
        return false;
    }
    // In use again: the record now holds another file, whose data is not ours to write out
    // under the deleted file's name.
    if (!record.IsDeleted()) {
        LogRecordFailure(L"Failed to restore reused record for %I64u at %s.", recordNumber, volumeText);
        return false;
    }
    record.SetAttrMask(kDataMask);
    if (!record.ParseAttrs()) {
        if (record.IsCompressed())
            LogRecordFailure(L"Failed to restore compressed file for %I64u at %s.", recordNumber, volumeText);
        else if (record.IsEncrypted())
            LogRecordFailure(L"Failed to restore encrypted file for %I64u at %s.", recordNumber, volumeText);
        else
            LogRecordFailure(L"Failed to parse attribute for %I64u at %s.", recordNumber, volumeText);
        return false;
    }
    NTFSAttributeBase* data = record.FindStream(streamName.empty() ? nullptr : streamName.c_str());
    // EFS data on disk is ciphertext: writing it out would look like a restored file and is not.
    if (record.IsEncrypted() || (data && (data->GetAttrFlags() & kAttrFlagEncrypted))) {
        LogRecordFailure(L"Failed to restore encrypted file for %I64u at %s.", recordNumber, volumeText);
        return false;
    }
    uint32_t error = 0;
    std::unique_ptr<WritableFile> file = WritableFile::CreateAlways(destPath, &error);
    if (!file) {
        LogManager::instance().print(LogLevel::Error, L"Failed to create file: %s.", destPath);
        return false;
    }
    if (!data) {
        file->Close(&error);
        return false;
    }
    if (!CopyStream(*data, *file, destPath)) {
        file->Close(&error);
        return false;
    }
    if (!file->Close(&error)) {
        LogFileError(error, destPath);
        return false;
    }
    LogManager::instance().print(LogLevel::Info, L"File restored: %s.", destPath);
    return true;
}

std::wstring MakeUniqueFileName(const std::wstring& path) {
    if (path.empty()) return std::wstring();
    const std::wstring candidate = JoinPath(GetParentPath(path), ReplaceInvalidChars(GetFileNamePart(path), L"_"));
    // Where the system cannot say whether a name is taken, no number would fare better: give up
    // rather than count for ever.
    switch (ProbeEntry(candidate)) {
    case EntryState::Absent: return candidate;
    case EntryState::Unknown: return std::wstring();
    case EntryState::Present: break;
    }
    const std::wstring ext = GetFileExtension(candidate);
    const std::wstring stem = RemoveExtension(candidate);
    for (uint64_t k = 0;; ++k) {
        std::wstring numbered = stem + FormatWide(L"_%I64u.", k) + ext;
        switch (ProbeEntry(numbered)) {
        case EntryState::Absent: return numbered;
        case EntryState::Unknown: return std::wstring();
        case EntryState::Present: break;
        }
    }
}

}  // namespace Vorlaq

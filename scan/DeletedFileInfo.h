#pragma once
// One found deleted file: where it was, what it was called, its size and times (FILETIME values
// in UTC), and the texts the found-files list shows for them. A plain copyable value; the files
// of one folder may share one path text.
// A file found in a Recycle Bin may also carry the full path it had before it was sent there and
// when that happened, as the bin's index file recorded them.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/FileTime.h"
#include "scan/Recoverability.h"

namespace Vorlaq {

class DeletedFileInfo {
public:
    // An empty record, as the list uses for a row it is about to fill.
    DeletedFileInfo() = default;
    // A null time pointer stores 0.
    DeletedFileInfo(std::wstring volume, uint64_t recordNumber, std::wstring name, std::wstring path,
                    uint64_t size, const uint64_t* modified, const uint64_t* created, const uint64_t* accessed);
    // Back to an empty record for another file, keeping the storage of its name and type: a
    // scan fills the files its taker is done with anew rather than freeing and making them.
    void Reuse();

    const std::wstring& GetVolume() const { return volume_ ? *volume_ : NoText(); }
    void SetVolume(const std::wstring& volume) { volume_ = SharedText(volume); }
    // The volume text itself, which every file of a scan may hold: no copy per file.
    void SetVolume(std::shared_ptr<const std::wstring> volume) { volume_ = std::move(volume); }

    uint64_t GetRecordNumber() const { return recordNumber_; }
    void SetRecordNumber(uint64_t recordNumber) { recordNumber_ = recordNumber; }
    // The record's sequence number when it was found; 0 when not known.
    uint16_t GetSequence() const { return sequence_; }
    void SetSequence(uint16_t sequence) { sequence_ = sequence; }
    std::wstring GetRecordNumberText() const;

    const std::wstring& GetName() const { return name_; }
    // Also sets the type: the name's extension with A-Z folded to a-z.
    void SetName(std::wstring name);
    // The same, copied into the storage the name already has.
    void AssignName(std::wstring_view name);
    const std::wstring& GetType() const { return type_; }

    const std::wstring& GetPath() const { return path_ ? *path_ : NoText(); }
    // The path text itself, which other files of the folder may hold too; null when there is none.
    const std::shared_ptr<const std::wstring>& GetSharedPath() const { return path_; }
    void SetPath(std::wstring path) { path_ = std::make_shared<const std::wstring>(std::move(path)); }
    void SetPath(std::shared_ptr<const std::wstring> path) { path_ = std::move(path); }

    uint64_t GetSize() const { return size_; }
    void SetSize(uint64_t size) { size_ = size; }
    std::wstring GetSizeText() const;

    uint64_t GetModifiedTime() const { return modified_; }
    void SetModifiedTime(uint64_t time) { modified_ = time; }
    std::wstring GetModifiedTimeText() const;

    uint64_t GetCreationTime() const { return created_; }
    void SetCreationTime(uint64_t time) { created_ = time; }
    std::wstring GetCreationTimeText() const;

    uint64_t GetAccessTime() const { return accessed_; }
    void SetAccessTime(uint64_t time) { accessed_ = time; }
    std::wstring GetAccessTimeText() const;

    // The record's $STANDARD_INFORMATION as stored: the four UTC times and the read-only flag.
    const StandardTimes& GetStandardTimes() const { return standardTimes_; }
    void SetStandardTimes(const StandardTimes& times) { standardTimes_ = times; }
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Unknown unless the scan judged it against the cluster bitmap.
    Recoverability GetRecoverability() const { return recoverability_; }
    void SetRecoverability(Recoverability value) { recoverability_ = value; }
    // Empty, and 0, when no index file names the file.
    std::wstring GetOriginalPath() const { return originalPath_; }
    void SetOriginalPath(const std::wstring& path) { originalPath_ = path; }
    uint64_t GetDeletionTime() const { return deleted_; }
    void SetDeletionTime(uint64_t time) { deleted_ = time; }

    // The shadow copy the file was found in (its catalog number) and when that copy was made
    // (UTC, like the other times); 0 for a file of the volume itself.
    uint32_t GetShadowCopy() const { return shadowCopy_; }
    uint64_t GetShadowCopyTime() const { return shadowCopyTime_; }
    void SetShadowCopy(uint32_t number, uint64_t created) {
        shadowCopy_ = number;
        shadowCopyTime_ = created;
    }
    // A name found only in traces (TraceSources.h bits; 0 for a file of a record of its own):
    // it has no data, and its record number is the trace's own number, shown as "T12".
    uint8_t GetTraceSources() const { return traceSources_; }
    void SetTraceSources(uint8_t sources) { traceSources_ = sources; }
    bool IsTrace() const { return traceSources_ != 0; }
    // A file of an earlier file system, found by the deep scan outside the live MFT: its record's
    // byte position on the source (what names it, as record numbers repeat across file systems)
    // and the record size of its MFT. Its number text is "@" and the position.
    void SetOldRecord(uint64_t position, uint32_t recordSize) {
        oldPosition_ = position;
        oldRecordSize_ = recordSize;
    }
    bool IsFromOldMft() const { return oldRecordSize_ != 0; }
    uint64_t GetOldPosition() const { return oldPosition_; }
    uint32_t GetOldRecordSize() const { return oldRecordSize_; }

private:
    static const std::wstring& NoText();
    // The type from the name.
    void SetType();
    // Null for an empty text.
    static std::shared_ptr<const std::wstring> SharedText(std::wstring text);

    std::shared_ptr<const std::wstring> volume_;
    uint64_t recordNumber_ = 0;
    uint16_t sequence_ = 0;
    std::wstring name_;
    std::shared_ptr<const std::wstring> path_;
    std::wstring type_;
    uint64_t size_ = 0;
    uint64_t modified_ = 0;
    uint64_t created_ = 0;
    uint64_t accessed_ = 0;
    Recoverability recoverability_;
    StandardTimes standardTimes_;
    bool readOnly_ = false;
    std::wstring originalPath_;
    uint64_t deleted_ = 0;
    uint32_t shadowCopy_ = 0;
    uint64_t shadowCopyTime_ = 0;
    uint8_t traceSources_ = 0;
    uint64_t oldPosition_ = 0;
    uint32_t oldRecordSize_ = 0;
};

}  // namespace Vorlaq

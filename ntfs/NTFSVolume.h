#pragma once
// An opened NTFS volume: its device, the geometry from the boot sector, the NTFS version, and the
// $MFT record whose $DATA attribute locates every record from 16 on.
#include <cstdint>
#include <memory>
#include <string>

#include "base/os/Device.h"
#include "ntfs/NTFSBootSector.h"

namespace Vorlaq {

class NTFSAttributeBase;
class NTFSFileRecord;

// Records below this hold the volume's own files ($MFT, $Volume, ...); files start here.
constexpr uint64_t kNTFSFirstUserRecord = 16;
constexpr uint64_t kNTFSVolumeRecord = 3;
// The oldest version the reader accepts: 3.0.
constexpr uint16_t kNTFSLowestVersion = 0x300;

// What an open logs (as a warning) when it reads through a copy of damaged metadata.
inline constexpr wchar_t kMFTMirrorWarning[] = L"MFT record 0 is damaged; using the copy in $MFTMirr";
inline constexpr wchar_t kBackupBootSectorWarning[] = L"The boot sector is damaged; using its backup at byte %I64u. ";

// Where the device's reads stop: doubling, then halving, so a few dozen one-byte reads find it;
// 0 when it delivers nothing.
uint64_t FindDeviceEnd(Device& device);

class NTFSVolume {
public:
    // The raw volume of a drive letter; the volume path becomes "X:\".
    explicit NTFSVolume(wchar_t driveLetter);
    // Any device holding a volume at offset 0 (image file, block device, test device), with the
    // volume path to report. A null device gives a volume that is not OK.
    NTFSVolume(std::unique_ptr<Device> device, std::wstring volumePath);
    // A file system known only from its records (an old one found by scanning the device for
    // them): no boot sector or $MFT is read. Every record is read at geometry.mftAddr + number *
    // file-record size, and data runs at geometry.clusterSize. OK when the record and cluster
    // sizes are usable.
    NTFSVolume(std::unique_ptr<Device> device, std::wstring volumePath, const NTFSBootSector& geometry);
    virtual ~NTFSVolume();
    // The raw device of a drive letter; null after logging why it cannot be opened.
    static std::unique_ptr<Device> OpenDrive(wchar_t driveLetter);
    NTFSVolume(const NTFSVolume&) = delete;
    NTFSVolume& operator=(const NTFSVolume&) = delete;

    std::wstring GetVolumePath() const { return volumePath_; }
    uint16_t GetSectorSize() const { return geometry_.sectorSize; }
    uint32_t GetClusterSize() const { return geometry_.clusterSize; }
    uint32_t GetFileRecordSize() const { return geometry_.fileRecordSize; }
    uint32_t GetIndexBlockSize() const { return geometry_.indexBlockSize; }
    uint64_t GetMFTAddr() const { return geometry_.mftAddr; }
    // The boot sector's sector count and whole clusters in it; 0 when unknown.
    uint64_t GetTotalSectors() const { return geometry_.totalSectors; }
    uint64_t GetTotalClusters() const { return geometry_.totalClusters; }
    uint64_t GetSerialNumber() const { return geometry_.serialNumber; }
    // Where the boot sector in use lies: 0, or its backup's offset when the first was damaged.
    uint64_t GetBootSectorOffset() const { return bootSectorOffset_; }
    // Record 0 of the $MFT was damaged and came from $MFTMirr.
    bool UsesMFTMirror() const { return usesMFTMirror_; }

    // The version check passed (3.0 or later).
    bool IsVolumeOK() const { return ok_; }
    uint16_t GetVersion() const { return version_; }
    // Records in the MFT: its $DATA size / file-record size; 0 without an MFT data attribute.
    uint64_t GetRecordsCount() const;

    // The device every read goes through; null when the volume did not open.
    Device* GetDevice() const { return device_.get(); }
    // The $MFT's $DATA attribute: records 16 and up are read through it. Callers may read many
    // records at once with its ReadData (at number * file-record size) and hand each one to
    // NTFSFileRecord::LoadFileRecord.
    bool HasMFTData() const { return mftData_ != nullptr; }
    NTFSAttributeBase* GetMFTData() const { return mftData_; }

private:
    bool OpenVolume(wchar_t letter);
    // The boot sector's geometry, or its backup's when the boot sector is unreadable or leads
    // nowhere; then the version check and the $MFT record.
    void Mount();
    bool ReadSector(uint64_t offset, uint8_t* sector) const;
    void CheckVersionAndLoadMFT();
    // Record 0 as stored at `offset`, its $DATA parsed; null, without a log line, when the record
    // is not whole (wrong magic, fix-up or header).
    std::unique_ptr<NTFSFileRecord> ReadMFTRecordAt(uint64_t offset);
    // Its $DATA is non-resident and starts at the cluster the boot sector names for the MFT.
    bool DescribesThisMFT(NTFSFileRecord& record) const;

    NTFSBootSector geometry_;
    uint64_t bootSectorOffset_ = 0;
    bool usesMFTMirror_ = false;
    std::unique_ptr<Device> device_;
    bool ok_ = false;
    uint16_t version_ = 0;
    std::wstring volumePath_;
    std::unique_ptr<NTFSFileRecord> mftRecord_;
    NTFSAttributeBase* mftData_ = nullptr;  // owned by mftRecord_
};

}  // namespace Vorlaq

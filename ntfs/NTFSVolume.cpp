#include "ntfs/NTFSVolume.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/ByteReader.h"
#include "base/LogManager.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSAttributeVolumeInfo.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSUpdateSequence.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kMFTRecord = 0;

constexpr uint32_t kFileMagic = 0x454C4946;  // "FILE"

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool DeliversByteAt(Device& device, uint64_t offset) {
    uint8_t byte = 0;
    uint32_t got = 0;
    return device.ReadAt(offset, &byte, 1, &got) && got == 1;
}

// The boot sector's copy is the last sector of the volume (the sector past its counted ones);
// its sector size is not known yet, so every size NTFS uses is tried.
std::vector<uint64_t> BackupBootSectorOffsets(Device& device) {
    std::vector<uint64_t> offsets;
    uint64_t end = FindDeviceEnd(device);
    for (uint64_t sector : {512u, 1024u, 2048u, 4096u})
        if (end > sector) offsets.push_back(end - sector);
    return offsets;
}

// Magic, fix-up and first attribute checked on a copy, without a log line: a damaged record 0
// is expected here and has a second copy.
bool LooksLikeIntactRecord(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> copy = bytes;
    ByteReader record(copy.data(), copy.size());
    if (record.U32(0).value_or(0) != kFileMagic || !ApplyUpdateSequence(copy.data(), copy.size())) return false;
    auto first = record.U16(0x14);
    return first && record.Contains(*first, 4);
}

}  // namespace

uint64_t FindDeviceEnd(Device& device) {
    constexpr uint64_t kLimit = uint64_t{1} << 62;
    uint64_t low = 0, high = 1u << 20;
    while (high < kLimit && DeliversByteAt(device, high)) {
        low = high;
        high *= 2;
    }
    if (high >= kLimit) return 0;
    if (low == 0 && !DeliversByteAt(device, 0)) return 0;
    while (high - low > 1) {  // a byte at low, none at high
        uint64_t middle = low + (high - low) / 2;
        (DeliversByteAt(device, middle) ? low : high) = middle;
    }
    return high;
}

NTFSVolume::NTFSVolume(wchar_t driveLetter) {
    if (OpenVolume(driveLetter)) Mount();
}

NTFSVolume::NTFSVolume(std::unique_ptr<Device> device, std::wstring volumePath)
    : device_(std::move(device)), volumePath_(std::move(volumePath)) {
    // Whoever opened the device reported a failure to open it.
    if (device_) Mount();
}

NTFSVolume::NTFSVolume(std::unique_ptr<Device> device, std::wstring volumePath, const NTFSBootSector& geometry)
    : geometry_(geometry), device_(std::move(device)), volumePath_(std::move(volumePath)) {
    ok_ = device_ && geometry_.clusterSize != 0 && geometry_.fileRecordSize >= kUpdateSequenceBlock &&
          geometry_.fileRecordSize % kUpdateSequenceBlock == 0;
}

NTFSVolume::~NTFSVolume() {
    mftData_ = nullptr;
    mftRecord_.reset();
}

uint64_t NTFSVolume::GetRecordsCount() const {
    if (!mftData_ || geometry_.fileRecordSize == 0) return 0;
    uint64_t bytes = mftData_->GetDataSize();
    // Only records the $MFT holds in clusters of this volume can be read: a damaged data size or
    // run length (2^40) must not send the scan through a billion records that are not there.
    if (auto* stream = dynamic_cast<NTFSAttributeNonResident*>(mftData_)) {
        const uint64_t volumeClusters = geometry_.totalClusters;
        uint64_t storedEnd = 0;
        for (const tagNTFSDataRunEntry& run : stream->GetDataRuns()) {
            if (run.LCN < 0 || run.Clusters == 0) continue;
            uint64_t clusters = run.Clusters;
            if (volumeClusters != 0) {
                const uint64_t lcn = static_cast<uint64_t>(run.LCN);
                if (lcn >= volumeClusters) continue;
                clusters = std::min(clusters, volumeClusters - lcn);
            }
            const uint64_t lastUsed = run.LastVCN - (run.Clusters - clusters);
            storedEnd = std::max(storedEnd, lastUsed == UINT64_MAX ? lastUsed : lastUsed + 1);
        }
        // Gaps between pieces count as records too, but no more of them than the volume has room for.
        if (volumeClusters != 0) storedEnd = std::min(storedEnd, volumeClusters);
        if (storedEnd <= UINT64_MAX / geometry_.clusterSize) bytes = std::min(bytes, storedEnd * geometry_.clusterSize);
    }
    return bytes / geometry_.fileRecordSize;
}

std::unique_ptr<Device> NTFSVolume::OpenDrive(wchar_t letter) {
    if (!IsDriveLetter(letter)) {
        LogManager::instance().print(LogLevel::Error, L"Invalid volume name, should be like 'C', 'D'. ");
        return nullptr;
    }
    uint32_t error = 0;
    std::unique_ptr<Device> device = OpenDriveDevice(letter, &error);
    if (!device) LogManager::instance().print(LogLevel::Error, L"Failed to open volume: %c. ", letter);
    return device;
}

bool NTFSVolume::OpenVolume(wchar_t letter) {
    if (IsDriveLetter(letter)) volumePath_ = std::wstring(1, letter) + L":\\";
    device_ = OpenDrive(letter);
    return device_ != nullptr;
}

bool NTFSVolume::ReadSector(uint64_t offset, uint8_t* sector) const {
    uint32_t got = 0;
    return device_->ReadAt(offset, sector, kBootSectorSize, &got) && got == kBootSectorSize;
}

void NTFSVolume::Mount() {
    uint8_t boot[kBootSectorSize];
    const bool readable = ReadSector(0, boot);
    NTFSBootSector primary;
    const bool parsed = readable && ParseBootSector(boot, sizeof boot, &primary);
    if (parsed) {
        geometry_ = primary;
        CheckVersionAndLoadMFT();
        // A version below 3.0 was read from the volume: the boot sector led to it.
        if (ok_ || version_ != 0) return;
    }
    for (uint64_t offset : BackupBootSectorOffsets(*device_)) {
        uint8_t backup[kBootSectorSize];
        NTFSBootSector geometry;
        if (!ReadSector(offset, backup) || (readable && std::memcmp(backup, boot, sizeof boot) == 0) ||
            !ParseBootSector(backup, sizeof backup, &geometry))
            continue;
        geometry_ = geometry;
        bootSectorOffset_ = offset;
        CheckVersionAndLoadMFT();
        if (ok_ || version_ != 0) {
            LogManager::instance().print(LogLevel::Warning, kBackupBootSectorWarning, offset);
            return;
        }
    }
    if (parsed) {
        geometry_ = primary;
        bootSectorOffset_ = 0;
        return;
    }
    LogManager::instance().print(LogLevel::Error,
                                 readable ? L"Not a NTFS file system. " : L"Reading boot sector error. ");
    device_.reset();
}

std::unique_ptr<NTFSFileRecord> NTFSVolume::ReadMFTRecordAt(uint64_t offset) {
    const uint32_t size = geometry_.fileRecordSize;
    std::vector<uint8_t> bytes(size);
    uint32_t got = 0;
    if (!device_->ReadAt(offset, bytes.data(), size, &got) || got != size || !LooksLikeIntactRecord(bytes))
        return nullptr;
    auto record = std::make_unique<NTFSFileRecord>(this);
    record->SetAttrMask(kNTFSMaskData);
    if (!record->LoadFileRecord(kMFTRecord, bytes.data(), bytes.size())) return nullptr;
    record->ParseAttrs();
    return record;
}

bool NTFSVolume::DescribesThisMFT(NTFSFileRecord& record) const {
    auto* data = dynamic_cast<NTFSAttributeNonResident*>(record.FindFirstAttr(kNTFSAttrData));
    if (!data) return false;
    // The $MFT's first cluster is the one the boot sector names: a damaged run list is not.
    const std::vector<tagNTFSDataRunEntry>& runs = data->GetDataRuns();
    const tagNTFSDataRunEntry* first = runs.empty() ? nullptr : &runs.front();
    return first && first->StartVCN == 0 && first->LCN >= 0 &&
           static_cast<uint64_t>(first->LCN) == geometry_.mftAddr / geometry_.clusterSize;
}

void NTFSVolume::CheckVersionAndLoadMFT() {
    ok_ = false;
    version_ = 0;
    usesMFTMirror_ = false;
    mftData_ = nullptr;
    mftRecord_.reset();
    NTFSFileRecord volumeRecord(this);
    volumeRecord.SetAttrMask(kNTFSMaskVolume);
    if (!volumeRecord.ReadFileRecord(kNTFSVolumeRecord)) return;
    volumeRecord.ParseAttrs();
    auto* info = static_cast<NTFSAttributeVolumeInfo*>(volumeRecord.FindFirstAttr(kNTFSAttrVolumeInfo));
    if (!info) return;
    version_ = info->GetVersion();
    LogManager::instance().print(LogLevel::Info, L"NTFS volume version is: %u.%u. ", static_cast<unsigned>(version_ >> 8),
                                 static_cast<unsigned>(version_ & 0xFF));
    if (version_ < kNTFSLowestVersion) return;
    ok_ = true;

    std::unique_ptr<NTFSFileRecord> record = ReadMFTRecordAt(geometry_.mftAddr);
    if ((!record || !DescribesThisMFT(*record)) && geometry_.mftMirrAddr != 0) {
        std::unique_ptr<NTFSFileRecord> copy = ReadMFTRecordAt(geometry_.mftMirrAddr);
        if (copy && DescribesThisMFT(*copy)) {
            LogManager::instance().print(LogLevel::Warning, kMFTMirrorWarning);
            record = std::move(copy);
            usesMFTMirror_ = true;
        }
    }
    if (record) {
        mftRecord_ = std::move(record);
    } else {
        // Neither copy is whole: read record 0 as it is, saying what is wrong with it.
        mftRecord_ = std::make_unique<NTFSFileRecord>(this);
        mftRecord_->SetAttrMask(kNTFSMaskData);
        if (!mftRecord_->ReadFileRecord(kMFTRecord)) return;
        mftRecord_->ParseAttrs();
    }
    mftData_ = mftRecord_->FindFirstAttr(kNTFSAttrData);
    if (!mftData_) mftRecord_.reset();
}

}  // namespace Vorlaq

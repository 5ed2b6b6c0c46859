#include "ntfs/NTFSVolume.h"

#include <algorithm>
#include <cstdint>

#include "base/LogManager.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSAttributeVolumeInfo.h"
#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kVolumeRecord = 3;
constexpr uint64_t kMFTRecord = 0;
constexpr uint16_t kLowestVersion = 0x300;

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

NTFSVolume::NTFSVolume(wchar_t driveLetter) {
    if (OpenVolume(driveLetter)) CheckVersionAndLoadMFT();
}

NTFSVolume::NTFSVolume(std::unique_ptr<Device> device, std::wstring volumePath)
    : device_(std::move(device)), volumePath_(std::move(volumePath)) {
    // Whoever opened the device reported a failure to open it.
    if (device_ && ReadBootSector()) CheckVersionAndLoadMFT();
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
        NTFSSingleList<tagNTFSDataRunEntry>& runs = stream->GetDataRuns();
        for (tagNTFSDataRunEntry* run = runs.FindFirstEntry(); run; run = runs.FindNextEntry()) {
            if (run->LCN < 0 || run->Clusters == 0) continue;
            uint64_t clusters = run->Clusters;
            if (volumeClusters != 0) {
                const uint64_t lcn = static_cast<uint64_t>(run->LCN);
                if (lcn >= volumeClusters) continue;
                clusters = std::min(clusters, volumeClusters - lcn);
            }
            const uint64_t lastUsed = run->LastVCN - (run->Clusters - clusters);
            storedEnd = std::max(storedEnd, lastUsed == UINT64_MAX ? lastUsed : lastUsed + 1);
        }
        // Gaps between pieces count as records too, but no more of them than the volume has room for.
        if (volumeClusters != 0) storedEnd = std::min(storedEnd, volumeClusters);
        if (storedEnd <= UINT64_MAX / geometry_.clusterSize) bytes = std::min(bytes, storedEnd * geometry_.clusterSize);
    }
    return bytes / geometry_.fileRecordSize;
}

bool NTFSVolume::OpenVolume(wchar_t letter) {
    if (!IsDriveLetter(letter)) {
        LogManager::instance().print(LogLevel::Error, L"Invalid volume name, should be like 'C', 'D'. ");
        return false;
    }
    volumePath_ = std::wstring(1, letter) + L":\\";
    uint32_t error = 0;
    device_ = OpenDriveDevice(letter, &error);
    if (!device_) {
        LogManager::instance().print(LogLevel::Error, L"Failed to open volume: %c. ", letter);
        return false;
    }
    return ReadBootSector();
}

bool NTFSVolume::ReadBootSector() {
    uint8_t boot[kBootSectorSize];
    uint32_t got = 0;
    if (!device_->ReadAt(0, boot, kBootSectorSize, &got) || got < kBootSectorSize) {
        LogManager::instance().print(LogLevel::Error, L"Reading boot sector error. ");
        device_.reset();
        return false;
    }
    NTFSBootSector geometry;
    if (!ParseBootSector(boot, sizeof boot, &geometry)) {
        LogManager::instance().print(LogLevel::Error, L"Not a NTFS file system. ");
        device_.reset();
        return false;
    }
    geometry_ = geometry;
    return true;
}

void NTFSVolume::CheckVersionAndLoadMFT() {
    NTFSFileRecord volumeRecord(this);
    volumeRecord.SetAttrMask(0x60);
    if (!volumeRecord.ReadFileRecord(kVolumeRecord)) return;
    volumeRecord.ParseAttrs();
    auto* info = static_cast<NTFSAttributeVolumeInfo*>(volumeRecord.FindFirstAttr(kNTFSAttrVolumeInfo));
    if (!info) return;
    version_ = info->GetVersion();
    LogManager::instance().print(LogLevel::Info, L"NTFS volume version is: %u.%u. ", static_cast<unsigned>(version_ >> 8),
                                 static_cast<unsigned>(version_ & 0xFF));
    if (version_ < kLowestVersion) return;
    ok_ = true;

    mftRecord_ = std::make_unique<NTFSFileRecord>(this);
    mftRecord_->SetAttrMask(0x80);
    if (!mftRecord_->ReadFileRecord(kMFTRecord)) return;
    mftRecord_->ParseAttrs();
    mftData_ = mftRecord_->FindFirstAttr(kNTFSAttrData);
    if (!mftData_) mftRecord_.reset();
}

}  // namespace Vorlaq

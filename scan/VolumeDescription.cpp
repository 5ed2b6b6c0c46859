#include "scan/VolumeDescription.h"

#include "ntfs/NTFSAttributeVolumeName.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

namespace {

std::wstring ReadLabel(const NTFSVolume& volume) {
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskVolume);
    if (!record.ReadFileRecord(kNTFSVolumeRecord) || !record.ParseAttrs()) return std::wstring();
    auto* name = dynamic_cast<NTFSAttributeVolumeName*>(record.FindFirstAttr(kNTFSAttrVolumeName));
    return name ? name->GetVolumeName() : std::wstring();
}

}  // namespace

VolumeDescription DescribeVolume(const NTFSVolume& volume) {
    VolumeDescription d;
    d.label = ReadLabel(volume);
    d.serialNumber = volume.GetSerialNumber();
    d.version = volume.GetVersion();
    d.sectorSize = volume.GetSectorSize();
    const uint64_t sectors = volume.GetTotalSectors();
    d.volumeBytes = d.sectorSize != 0 && sectors <= UINT64_MAX / d.sectorSize ? sectors * d.sectorSize : 0;
    d.clusterSize = volume.GetClusterSize();
    d.fileRecordSize = volume.GetFileRecordSize();
    d.indexBlockSize = volume.GetIndexBlockSize();
    d.mftAddr = volume.GetMFTAddr();
    d.records = volume.GetRecordsCount();
    return d;
}

}  // namespace Vorlaq

#include "scan/VolumeSession.h"

#include "base/WideFormat.h"
#include "ntfs/NTFSVolume.h"

namespace Vorlaq {

VolumeSession::VolumeSession(VolumeSource source) : source_(std::move(source)), volume_(source_.Open()) {}

VolumeSession::~VolumeSession() = default;

bool VolumeSession::IsVolumeOK() const { return volume_->IsVolumeOK(); }
uint16_t VolumeSession::GetVersion() const { return volume_->GetVersion(); }
bool VolumeSession::HasMFTData() const { return volume_->HasMFTData(); }
uint64_t VolumeSession::GetRecordsCount() const { return volume_->GetRecordsCount(); }
uint64_t VolumeSession::GetBootSectorOffset() const { return volume_->GetBootSectorOffset(); }
bool VolumeSession::UsesMFTMirror() const { return volume_->UsesMFTMirror(); }

bool VolumeSession::IsVersionTooOld() const {
    return GetVersion() != 0 && GetVersion() < kNTFSLowestVersion;
}

bool VolumeSession::HoldsOnlySystemRecords() const { return GetRecordsCount() == kNTFSFirstUserRecord; }

uint64_t VolumeSession::GetUserRecordsCount() const {
    const uint64_t records = GetRecordsCount();
    return records > kNTFSFirstUserRecord ? records - kNTFSFirstUserRecord : 0;
}

std::vector<std::wstring> VolumeSession::CopyWarnings() const {
    std::vector<std::wstring> lines;
    if (GetBootSectorOffset() != 0) lines.push_back(FormatWide(kBackupBootSectorWarning, GetBootSectorOffset()));
    if (UsesMFTMirror()) lines.push_back(kMFTMirrorWarning);
    return lines;
}

VolumeDescription VolumeSession::Describe() const { return DescribeVolume(*volume_); }

const SourceExtent& VolumeSession::GetExtent() {
    if (!extent_) extent_ = std::make_unique<SourceExtent>(source_.IsDrive() ? SourceExtent() : MeasureSource(*volume_));
    return *extent_;
}

uint64_t VolumeSession::CountKnownDamage() const {
    Device* device = volume_->GetDevice();
    return device ? device->KnownDamage().size() : 0;
}

RecordFitness VolumeSession::CheckRecord(uint64_t recordNumber) const {
    return CheckRestorableRecord(*volume_, recordNumber);
}

DeletedFileInfo VolumeSession::DescribeRecord(uint64_t recordNumber, bool withPath) const {
    return DescribeNamedRecord(*volume_, recordNumber, withPath);
}

}  // namespace Vorlaq

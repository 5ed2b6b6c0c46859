#pragma once
// One run's hold on its source: the source opened once (drive, image or container, the partition
// chosen), the volume read over it, what the source holds of that volume and what it is known to
// hold damaged. The front ends ask it everything they show about the volume; scans and restores
// read through its source, so one run opens its source once, however many files it restores.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/DeletedFileInfo.h"
#include "scan/NamedRecord.h"
#include "scan/SourceExtent.h"
#include "scan/VolumeDescription.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class VolumeSession {
public:
    explicit VolumeSession(VolumeSource source);
    ~VolumeSession();
    VolumeSession(const VolumeSession&) = delete;
    VolumeSession& operator=(const VolumeSession&) = delete;

    // Scans and restores read through this (the session's open device).
    const VolumeSource& GetSource() const { return source_; }

    // The volume passed the reader's checks (NTFS 3.0 or later); otherwise the log says why.
    bool IsVolumeOK() const;
    uint16_t GetVersion() const;
    // A version was read and it is older than the reader accepts.
    bool IsVersionTooOld() const;
    // The $MFT's data attribute was read: records past the system files can be found.
    bool HasMFTData() const;
    uint64_t GetRecordsCount() const;
    // The records a scan walks: those from the first user record on.
    uint64_t GetUserRecordsCount() const;
    // The MFT holds the system files' records and nothing after them.
    bool HoldsOnlySystemRecords() const;
    // Where the boot sector in use lies (0, or its backup's offset) and whether record 0 came
    // from $MFTMirr: metadata read through a copy.
    uint64_t GetBootSectorOffset() const;
    bool UsesMFTMirror() const;
    // The warning lines for metadata read through a copy; empty when none was.
    std::vector<std::wstring> CopyWarnings() const;

    VolumeDescription Describe() const;
    // Measured on first call; a drive is taken as whole.
    const SourceExtent& GetExtent();
    // Chunks of a container found damaged by the reads so far (failed checksums, sectors its
    // acquisition could not read).
    uint64_t CountKnownDamage() const;

    RecordFitness CheckRecord(uint64_t recordNumber) const;
    DeletedFileInfo DescribeRecord(uint64_t recordNumber, bool withPath) const;

private:
    VolumeSource source_;
    std::unique_ptr<NTFSVolume> volume_;
    std::unique_ptr<SourceExtent> extent_;
};

}  // namespace Vorlaq

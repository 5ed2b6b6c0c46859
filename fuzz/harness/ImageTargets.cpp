// Targets over a whole small image: the volume's start-up and the records read through it, and
// the scan followed by a restore of every file it reports.
#include <optional>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzDevices.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSBootSector.h"
#include "ntfs/NTFSVolume.h"
#include "scan/DeepScan.h"
#include "scan/FileScanTask.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"
#include "scan/VolumeSource.h"

using namespace Vorlaq;

namespace QuorretFuzz {

namespace {

constexpr uint64_t kRecordsRead = 48;
constexpr uint64_t kReadLimit = 256 * 1024;
// The harness restores at most this many files of at most this size per input: a fuzzed size
// may legitimately name terabytes of zeros (a sparse stream), which says nothing new per byte.
constexpr size_t kMaxRestores = 32;
constexpr uint64_t kMaxRestoreSize = 4u << 20;

class Collect : public FileScanNotify {
public:
    Collect(std::vector<DeletedFileInfo>* files, int* finished) : files_(files), finished_(finished) {}
    void Found(std::unique_ptr<DeletedFileInfo> file) override { files_->push_back(*file); }
    void Finished() override { ++*finished_; }

private:
    std::vector<DeletedFileInfo>* files_;
    int* finished_;
};

// The folder restores go to: one per process, emptied after every input, removed at exit.
const std::filesystem::path& OutputFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path p = MakeScratchFolder("quorret-fuzz");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(OutputFolder(), ignored);
        });
        return p;
    }();
    return folder;
}

void EmptyFolder(const std::filesystem::path& folder) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

}  // namespace

int FuzzVolumeStartup(const uint8_t* data, size_t size) {
    NTFSBootSector boot;
    if (ParseBootSector(data, size, &boot)) {
        Check(boot.sectorSize >= 256 && boot.sectorSize <= 4096 && (boot.sectorSize & (boot.sectorSize - 1)) == 0,
              "the sector size is a power of two from 256 to 4096");
        Check(boot.clusterSize > 0 && boot.fileRecordSize >= 0x30, "cluster and record sizes are usable");
    }
    NTFSVolume volume(std::make_unique<ViewDevice>(data, size), L"F:\\");
    (void)volume.GetVolumePath();
    if (!volume.IsVolumeOK()) {
        Check(volume.GetRecordsCount() == 0 || volume.HasMFTData(), "no MFT data, no records");
        return 0;
    }
    Check(volume.GetVersion() >= 0x300, "an OK volume is version 3.0 or later");
    const uint64_t records = volume.GetRecordsCount();
    if (!volume.HasMFTData()) Check(records == 0, "no MFT data, no records");
    for (uint64_t n = 0; n < std::min(records, kRecordsRead); ++n) ExerciseRecordNumber(volume, n, kReadLimit);
    if (records > kRecordsRead) ExerciseRecordNumber(volume, records - 1, kReadLimit);
    ExerciseRecordNumber(volume, records, kReadLimit);
    return 0;
}

int FuzzScanRestore(const uint8_t* data, size_t size) {
    const std::filesystem::path& out = OutputFolder();
    const std::wstring folder = EnginePath(out);
    VolumeSource source = VolumeSource::FromDevice(
        [data, size] { return std::make_unique<ViewDevice>(data, size); }, L"F:\\");

    std::vector<DeletedFileInfo> files;
    int finished = 0;
    int32_t state = kScanNotStarted;
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<Collect>(&files, &finished));
        task.SetVolume(source);
        task.SetFilters(L"");
        task.SetTraces(true);
        int32_t result = FileScanTask::ScanThreadProc(&task);
        state = task.GetState();
        Check((result == 0 && state == kScanFinished) || (result == -1 && state == kScanFailed),
              "a scan ends finished (0) or failed (-1)");
    }
    Check(finished == (state == kScanFinished ? 1 : 0), "a finished scan says so once; a failed one never");

    size_t restored = 0;
    for (const DeletedFileInfo& file : files) {
        Check(!file.GetName().empty(), "a found file has a name");
        Check(file.GetPath().compare(0, 3, L"F:\\") == 0, "a found file's path starts at the volume root");
        if (file.IsTrace()) continue;  // a name without data
        if (restored == kMaxRestores) break;
        if (file.GetSize() > kMaxRestoreSize) continue;
        const std::wstring dest = DestinationFor(folder, file.GetName());
        if (dest.empty()) continue;
        Check(IsDirectlyInside(folder, dest), "a restore writes only inside the chosen folder");
        ++restored;
        if (RestoreFile(source, file.GetRecordNumber(), dest)) {
            std::error_code error;
            uint64_t written = std::filesystem::file_size(NativePath(dest), error);
            Check(!error && written == file.GetSize(), "a restored file has the size the scan reported");
        }
    }
    EmptyFolder(out);
    return 0;
}

int FuzzDeepScan(const uint8_t* data, size_t size) {
    const std::filesystem::path& out = OutputFolder();
    const std::wstring folder = EnginePath(out);
    VolumeSource source = VolumeSource::FromDevice(
        [data, size] { return std::make_unique<ViewDevice>(data, size); }, L"F:\\");
    DeepScan deep(source, RecoverabilityMode::Report);
    Check(deep.Length() == size, "the deep scan reads the whole source");
    FileFilter everything;
    everything.SetFilters(L"");
    std::vector<DeletedFileInfo> files;
    const DeepScanResult result = deep.Run(everything, [&files](DeletedFileInfo& file) { files.push_back(file); });
    Check(result.bytesRead == size, "the deep scan reads to the source's end");
    Check(result.rows == files.size() && result.oldRows <= result.rows, "the counts are those of the files listed");
    uint64_t placedRows = result.unplacedRows;
    for (const OldVolume& volume : result.volumes) {
        Check(volume.clusterSize >= 512 && (volume.clusterSize & (volume.clusterSize - 1)) == 0,
              "old files are read at a power-of-two cluster size");
        placedRows += volume.files;
    }
    Check(placedRows == result.oldRows, "every old file is counted once, placed or not");

    size_t restored = 0;
    for (const DeletedFileInfo& file : files) {
        Check(!file.GetName().empty(), "a found file has a name");
        Check(file.GetPath().compare(0, 3, L"F:\\") == 0, "a found file's path starts at the volume root");
        if (!file.IsFromOldMft()) continue;
        Check(file.GetOldPosition() < size, "an old record lies on the source");
        if (restored == kMaxRestores || file.GetSize() > kMaxRestoreSize) continue;
        const std::wstring dest = DestinationFor(folder, file.GetName());
        if (dest.empty()) continue;
        ++restored;
        RestoreChoices choices;
        choices.inUseToo = true;
        auto make = [&dest](std::wstring* made) {
            *made = dest;
            uint32_t error = 0;
            return WritableFile::CreateAlways(dest, &error);
        };
        const std::optional<VolumeSource> old = deep.SourceOf(file, nullptr);
        if (old && RestoreFile(*old, file.GetRecordNumber(), make, nullptr, choices).ok) {
            std::error_code error;
            uint64_t written = std::filesystem::file_size(NativePath(dest), error);
            Check(!error && written == file.GetSize(), "a restored file has the size the scan reported");
        }
    }
    EmptyFolder(out);
    return 0;
}

}  // namespace QuorretFuzz

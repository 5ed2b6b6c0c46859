#include "cli/DeepScanStep.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "base/WideFormat.h"
#include "cli/FieldText.h"
#include "cli/ProgressLine.h"
#include "cli/VolumeCheck.h"
#include "scan/FoundFileChannel.h"

namespace Vorlaq {

namespace {

constexpr auto kProgressTick = std::chrono::milliseconds(250);
constexpr double kMiB = 1024.0 * 1024.0;
// Files handed over at once, taken at once, and at most waiting: the scan lists a million files in
// a second once the source is read, faster than a printer takes them.
constexpr size_t kHandOver = 64;
constexpr size_t kBatch = 512;
constexpr size_t kMostWaiting = 1024;

// "  42.0%   430 of 1024 MiB   2150 MiB/s   12 files found   0:01 left"
std::wstring ProgressText(uint64_t read, uint64_t total, double seconds, uint64_t found) {
    const double percent = total ? 100.0 * static_cast<double>(read) / static_cast<double>(total) : 0.0;
    std::wstring rate = L"-";
    std::wstring left = L"--:--";
    if (seconds >= 1.0 && read != 0) {
        const double perSecond = static_cast<double>(read) / seconds;
        rate = FormatWide(L"%.0f", perSecond / kMiB);
        left = ProgressLine::DurationText(static_cast<double>(total - std::min(read, total)) / perSecond);
    }
    return FormatWide(L"%6.1f%%   %.0f of %.0f MiB   %s MiB/s   %I64u files found   %s left", percent,
                      static_cast<double>(read) / kMiB, static_cast<double>(total) / kMiB, rate, found, left);
}

// How an old volume's place and cluster size are known.
const wchar_t* PlaceText(OldPlaceFrom from) {
    switch (from) {
    case OldPlaceFrom::BootSector: return L"from its boot sector";
    case OldPlaceFrom::MftRecord: return L"from its $MFT record's run";
    case OldPlaceFrom::MirrorRecords: return L"from its $MFTMirr's copies of $MFT and $MFTMirr";
    case OldPlaceFrom::IndexBlocks: return L"inferred from its folders' index blocks";
    }
    return L"";
}

}  // namespace

DeepScanRun RunDeepScanTask(DeepScan& deep, const FileFilter& filter, Console& console,
                            const std::function<void(DeletedFileInfo&)>& sink, const std::atomic<bool>* stop) {
    FoundFileChannel channel(kMostWaiting, kBatch);
    std::atomic<uint64_t> progress{0};
    DeepScanRun run;
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    std::thread worker([&] {
        FoundFileChannel::Files files;
        run.result = deep.Run(
            filter,
            [&](DeletedFileInfo& file) {
                files.push_back(std::make_unique<DeletedFileInfo>(std::move(file)));
                if (files.size() >= kHandOver) channel.Put(files);
            },
            stop, &progress);
        channel.Put(files);
        channel.Finish();
    });
    FoundFileChannel::Files batch;
    for (bool last = false; !last;) {
        last = channel.Take(batch, kProgressTick);
        for (auto& file : batch) sink(*file);
        channel.GiveBack(batch);
        if (!last) console.Progress(ProgressText(progress.load(), deep.Length(), elapsed(), deep.Found()));
    }
    worker.join();
    console.ClearProgress();
    run.seconds = elapsed();
    run.stopped = run.result.bytesRead < deep.Length() && stop && stop->load();
    return run;
}

std::wstring DeepScanSummaryText(const DeepScan& deep, const DeepScanRun& run) {
    const DeepScanResult& r = run.result;
    std::wstring text = FormatWide(L"Deep scan read %.0f MiB in %.2f s: %I64u files found, %I64u of them outside the live MFT.",
                                   static_cast<double>(r.bytesRead) / kMiB, run.seconds, r.rows, r.oldRows);
    if (!deep.HasLiveFileSystem()) text += L" No live file system.";
    std::vector<OldVolume> volumes = r.volumes;
    std::stable_sort(volumes.begin(), volumes.end(),
                     [](const OldVolume& a, const OldVolume& b) { return a.start < b.start; });
    for (const OldVolume& volume : volumes) {
        if (volume.files == 0) continue;
        text += FormatWide(L" Old file system at byte %I64u, %u-byte clusters (%s%s): %I64u files", volume.start,
                           volume.clusterSize, PlaceText(volume.from),
                           volume.indexMatches ? FormatWide(L"; %I64u folders' index blocks lie there", volume.indexMatches)
                                               : std::wstring(),
                           volume.files);
        if (!volume.outerPath.empty()) text += L", inside the file " + EscapeControls(volume.outerPath.substr(0, volume.outerPath.size() - 1));
        if (!volume.refusal.empty()) text += L", not restored: " + volume.refusal;
        text += L".";
    }
    if (r.inLiveFiles)
        text += FormatWide(L" %I64u records in live files' clusters (shadow copies' stores, disk images) were passed over.",
                           r.inLiveFiles);
    if (r.damagedChunks) text += DamagedChunksText(r.damagedChunks);
    if (r.unplacedRows)
        text += FormatWide(L" %I64u files of records no evidence places on the source are listed but not restored.",
                           r.unplacedRows);
    if (run.stopped) text += L" Interrupted: the listing holds what was found so far.";
    return text;
}

}  // namespace Vorlaq

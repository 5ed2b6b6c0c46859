// Every fixture volume damaged in many ways (Mutations.h), each one scanned and every file the
// scan reports restored: each run ends within a bound, the sanitizers stay silent, and the
// restores write only inside the folder they were given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSBootSector.h"
#include "ntfs/NTFSVolume.h"
#include "scan/DeepScan.h"
#include "scan/FileScanTask.h"
#include "tests/robust/Mutations.h"
#include "tests/robust/RobustSupport.h"

using namespace Vorlaq;
using namespace QuorretTest;
namespace fs = std::filesystem;

namespace {

// Files the volume says are larger are not restored: a size may rightly name terabytes of
// sparse zeros, which would test the disk, not the reader.
constexpr uint64_t kMaxRestoreSize = 8u << 20;
// Each run restores the damaged files and this many others (a volume may hold a thousand).
constexpr size_t kOtherRestores = 8;
constexpr std::chrono::seconds kRunBound{120};
constexpr uint64_t kLargeMft = 4096;

VolumeSource SourceOfView(std::shared_ptr<const ImageView> view) {
    return SourceOf([view] { return std::make_unique<PatchedDevice>(view); });
}

// The image as the view shows it, in one buffer.
Bytes Flatten(const ImageView& view) {
    Bytes bytes(*view.base);
    for (const Patch& patch : view.patches)
        for (size_t i = 0; i < patch.bytes.size() && patch.offset + i < bytes.size(); ++i) bytes[patch.offset + i] = patch.bytes[i];
    if (view.size < bytes.size()) bytes.resize(view.size);
    return bytes;
}

}  // namespace

// The sample volume with its boot sector and its MFT's first 16 KiB zeroed has no file system
// left: the deep scan finds its files by their records. Then every mutation of it (damaged
// records, folder loops, runs past the end, a cut image) is deep-scanned and its old files
// restored through the fuzz target, which checks the scan's promises.
TEST(CorruptImages, DeepScanOfAVolumeWithoutFileSystem) {
    std::vector<FixtureImage> fixtures = LoadFixtureImages();
    auto sample = std::find_if(fixtures.begin(), fixtures.end(), [](const FixtureImage& f) { return f.name == "sample"; });
    ASSERT_NE(sample, fixtures.end());
    auto pristine = std::make_shared<ImageView>();
    pristine->base = sample->bytes;
    ScanResult baseline = Scan(SourceOfView(pristine));
    ASSERT_FALSE(baseline.files.empty());

    NTFSBootSector boot;
    ASSERT_TRUE(ParseBootSector(sample->bytes->data(), sample->bytes->size(), &boot));
    const std::vector<Patch> wipe = {{0, Bytes(512, 0)}, {boot.mftAddr, Bytes(16384, 0)}};
    auto wiped = std::make_shared<ImageView>(*pristine);
    wiped->patches = wipe;
    const VolumeSource source = SourceOfView(wiped);
    DeepScan deep(source, RecoverabilityMode::Report);
    EXPECT_FALSE(deep.HasLiveFileSystem());
    FileFilter everything;
    everything.SetFilters(L"");
    std::set<std::wstring> listed;
    const DeepScanResult result = deep.Run(everything, [&listed](DeletedFileInfo& file) {
        EXPECT_TRUE(file.IsFromOldMft());
        EXPECT_EQ(file.GetRecoverability().state, RecoverState::Unknown);
        listed.insert(file.GetPath() + file.GetName());
    });
    EXPECT_EQ(result.bytesRead, sample->bytes->size());
    // The backup boot sector in the volume's last sector still places it.
    ASSERT_EQ(result.volumes.size(), 1u);
    EXPECT_EQ(result.volumes[0].start, 0u);
    EXPECT_EQ(result.volumes[0].clusterSize, boot.clusterSize);
    EXPECT_EQ(result.volumes[0].from, OldPlaceFrom::BootSector);
    EXPECT_EQ(result.volumes[0].files, result.oldRows);
    for (const DeletedFileInfo& file : baseline.files) EXPECT_TRUE(listed.count(file.GetPath() + file.GetName())) << WideToUtf8(file.GetName());

    const MutationSet set = MakeMutations(*sample->bytes, {baseline.files.front().GetRecordNumber()});
    for (const Mutation& mutation : set.mutations) {
        SCOPED_TRACE(mutation.name);
        ImageView view = *wiped;
        view.patches = mutation.patches;
        view.patches.insert(view.patches.end(), wipe.begin(), wipe.end());
        view.size = mutation.size;
        const Bytes bytes = Flatten(view);
        Watchdog bound(sample->name + ": deep scan, " + mutation.name, kRunBound);
        EXPECT_EQ(QuorretFuzz::FuzzDeepScan(bytes.data(), bytes.size()), 0);
    }
}

TEST(CorruptImages, EveryMutationScansAndRestoresWithinTheOutputFolder) {
    const std::vector<FixtureImage> fixtures = LoadFixtureImages();
    ASSERT_GE(fixtures.size(), 2u) << "fixture images missing or not unpacked (xz)";
    const fs::path sandbox = QuorretFuzz::MakeScratchFolder("quorret-robust");
    const fs::path out = sandbox / "out";

    size_t mutated = 0;
    double worstScan = 0;
    std::string worstCase;
    const auto start = std::chrono::steady_clock::now();
    for (const FixtureImage& fixture : fixtures) {
        SCOPED_TRACE(fixture.name);
        auto pristine = std::make_shared<ImageView>();
        pristine->base = fixture.bytes;
        ScanResult baseline = Scan(SourceOfView(pristine));
        ASSERT_EQ(baseline.state, kScanFinished);
        ASSERT_FALSE(baseline.files.empty());
        std::vector<uint64_t> deleted;
        for (const DeletedFileInfo& file : baseline.files) deleted.push_back(file.GetRecordNumber());

        const MutationSet set = MakeMutations(*fixture.bytes, deleted);
        // A scan walks every record: on a volume of thousands, every third mutation keeps the
        // test's time modest and still covers each kind.
        const uint64_t records = SourceOfView(pristine).Open()->GetRecordsCount();
        const size_t step = records > kLargeMft ? 3 : 1;
        const auto fixtureStart = std::chrono::steady_clock::now();
        size_t run = 0;
        for (size_t index = 0; index < set.mutations.size(); index += step) {
            const Mutation& mutation = set.mutations[index];
            ++run;
            const std::string what = fixture.name + ": " + mutation.name;
            SCOPED_TRACE(mutation.name);
            auto view = std::make_shared<ImageView>();
            view->base = fixture.bytes;
            view->patches = mutation.patches;
            view->size = mutation.size;
            const VolumeSource source = SourceOfView(view);
            fs::create_directory(out);
            {
                Watchdog bound(what, kRunBound);
                ScanResult scan = Scan(source);
                EXPECT_TRUE(scan.state == kScanFinished || scan.state == kScanFailed) << scan.state;
                if (scan.elapsed.count() > worstScan) {
                    worstScan = scan.elapsed.count();
                    worstCase = what;
                }
                const std::wstring folder = QuorretFuzz::EnginePath(out);
                std::vector<DeletedFileInfo> restore;
                for (const DeletedFileInfo& file : scan.files) {
                    const bool damaged = std::find(set.files.begin(), set.files.end(), file.GetRecordNumber()) != set.files.end();
                    if (damaged || restore.size() < kOtherRestores) restore.push_back(file);
                }
                for (const RestoreResult& r : RestoreAll(source, restore, out, kMaxRestoreSize)) {
                    if (r.dest.empty()) continue;
                    EXPECT_TRUE(QuorretFuzz::IsDirectlyInside(folder, r.dest)) << Vorlaq::WideToUtf8(r.dest);
                    // A restore that succeeded wrote the size the scan reported.
                    std::error_code error;
                    if (r.ok) {
                        EXPECT_EQ(fs::file_size(QuorretFuzz::NativePath(r.dest), error), r.size) << r.record;
                    }
                }
            }
            // Nothing beside the output folder, nothing but files inside it.
            for (const std::string& entry : ListTree(sandbox)) {
                EXPECT_TRUE(entry == "out/" || (entry.rfind("out/", 0) == 0 && entry.find('/', 4) == std::string::npos))
                    << what << ": " << entry;
            }
            std::error_code ignored;
            fs::remove_all(out, ignored);
            ++mutated;
        }
        std::printf("%s: %zu deleted files, %zu mutations in %.1f s\n", fixture.name.c_str(), baseline.files.size(), run,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - fixtureStart).count());
        std::fflush(stdout);
    }
    std::error_code ignored;
    fs::remove_all(sandbox, ignored);
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("corrupt images: %zu mutated images of %zu fixtures in %.1f s; worst scan %.3f s (%s)\n", mutated,
                fixtures.size(), total, worstScan, worstCase.c_str());
    EXPECT_GT(mutated, 100u);
}

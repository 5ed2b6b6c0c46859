// A device that fails, or comes back short, at its k-th read, for every k a scan or a restore
// makes; and writes that fail because the disk is full. The scan skips what it cannot read and
// finishes; a restore either succeeds with the right bytes or fails with one line of its own and
// keeps what it wrote.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSVolume.h"
#include "scan/FileScanTask.h"
#include "scan/RestoreFile.h"
#include "tests/robust/RobustSupport.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;
namespace fs = std::filesystem;

namespace {

using Counter = std::shared_ptr<std::atomic<uint64_t>>;

// The features volume: resident, non-resident, fragmented, sparse and compressed deleted files.
const FixtureImage& Features() {
    static const FixtureImage image = [] {
        for (FixtureImage& f : LoadFixtureImages())
            if (f.name == "features") return f;
        return FixtureImage{};
    }();
    return image;
}

VolumeSource Faulty(const std::shared_ptr<const Bytes>& image, FaultPlan plan, Counter reads = nullptr) {
    return SourceOf([image, plan, reads] {
        return std::make_unique<FaultDevice>(std::make_unique<MemoryDevice>(image), plan, reads);
    });
}

// Reads a clean run of `run` makes.
uint64_t CountReads(const std::shared_ptr<const Bytes>& image, const std::function<void(const VolumeSource&)>& run) {
    auto reads = std::make_shared<std::atomic<uint64_t>>(0);
    run(Faulty(image, FaultPlan{}, reads));
    return reads->load();
}

std::optional<Bytes> ReadBack(const std::wstring& path) {
    std::ifstream in(QuorretFuzz::NativePath(path), std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

// The lines RestoreFile writes itself (the reader's own lines come before them).
const wchar_t* const kRestoreFailures[] = {
    L"ERROR: \tFailed to parse FileRecord ",      L"ERROR: \tFailed to restore compressed file for ",
    L"ERROR: \tFailed to restore encrypted file for ", L"ERROR: \tFailed to parse attribute for ",
    L"ERROR: \tFailed to create file: ",          L"ERROR: \tFailed to read data to restore.",
    L"ERROR: \tFailed to restore reused record for ",
};

size_t RestoreFailureLines(const std::vector<std::wstring>& lines) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return std::any_of(std::begin(kRestoreFailures), std::end(kRestoreFailures),
                           [&](const wchar_t* p) { return StartsWith(line, p); });
    }));
}

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = Features().bytes;
        ASSERT_TRUE(image_) << "the features fixture is missing";
        folder_ = QuorretFuzz::MakeScratchFolder("quorret-faults");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::wstring Dest(const std::string& name) const { return QuorretFuzz::EnginePath(folder_ / name); }

    std::shared_ptr<const Bytes> image_;
    fs::path folder_;
};

// The deleted files each restore case uses, by record: resident, non-resident, fragmented,
// sparse, compressed.
const uint64_t kRestored[] = {76, 79, 81, 87, 92};

}  // namespace

TEST_F(FaultInjection, ScanSkipsWhatItCannotReadAndFinishes) {
    const ScanResult clean = Scan(Faulty(image_, FaultPlan{}));
    ASSERT_EQ(clean.state, kScanFinished);
    std::map<uint64_t, DeletedFileInfo> baseline;
    for (const DeletedFileInfo& file : clean.files) baseline.emplace(file.GetRecordNumber(), file);
    const uint64_t reads = CountReads(image_, [](const VolumeSource& s) { Scan(s); });
    // The volume's start-up reads: a failure among them refuses the volume.
    const uint64_t startup = CountReads(image_, [](const VolumeSource& s) { s.Open(); });
    ASSERT_GT(reads, startup);

    size_t refused = 0, lost = 0, unknown = 0;
    for (bool shortRead : {false, true}) {
        for (uint64_t k = 1; k <= reads + 1; ++k) {
            SCOPED_TRACE(std::string(shortRead ? "short" : "failed") + " read " + std::to_string(k));
            FaultPlan plan;
            (shortRead ? plan.shortAtRead : plan.failAtRead) = k;
            plan.shortKeep = 100;
            LogCapture log;
            const ScanResult scan = Scan(Faulty(image_, plan));
            if (scan.state == kScanFailed) {
                EXPECT_LE(k, startup);
                EXPECT_TRUE(scan.files.empty());
                ++refused;
                continue;
            }
            ASSERT_EQ(scan.state, kScanFinished);
            // What is found is what the clean scan found, at most one record short (a record
            // whose own read failed); a folder that could not be read gives "Unknown".
            size_t missing = baseline.size();
            for (const DeletedFileInfo& file : scan.files) {
                auto it = baseline.find(file.GetRecordNumber());
                ASSERT_NE(it, baseline.end()) << file.GetRecordNumber();
                EXPECT_EQ(file.GetName(), it->second.GetName());
                EXPECT_EQ(file.GetSize(), it->second.GetSize());
                const std::wstring path = file.GetPath();
                EXPECT_TRUE(path == it->second.GetPath() || path == L"T:\\Unknown") << WideToUtf8(path);
                unknown += path != it->second.GetPath();
                --missing;
            }
            EXPECT_LE(missing, 1u);
            lost += missing;
            for (const auto& [number, file] : baseline) {
                bool found = std::any_of(scan.files.begin(), scan.files.end(),
                                         [&](const DeletedFileInfo& f) { return f.GetRecordNumber() == number; });
                if (!found) {
                    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: " + std::to_wstring(number) + L". ")), 1u)
                        << "a record skipped without its line: " << number;
                }
            }
        }
    }
    // A record that cannot be read at all (its bytes fail in the block read and on their own) is
    // skipped with the reader's line, and so are the records sharing its cluster (records are
    // fetched a whole cluster at a time); every other file is still found.
    auto volume = SourceOf([this] { return std::make_unique<MemoryDevice>(image_); }).Open();
    auto* mft = dynamic_cast<NTFSAttributeNonResident*>(volume->GetMFTData());
    ASSERT_TRUE(mft && mft->GetDataRuns().size() == 1) << "the features $MFT lies in one piece";
    const uint64_t recordSize = volume->GetFileRecordSize();
    const uint64_t perCluster = std::max<uint64_t>(1, volume->GetClusterSize() / recordSize);
    for (const auto& [number, file] : baseline) {
        FaultPlan plan;
        plan.rangeBegin = volume->GetMFTAddr() + number * recordSize;
        plan.rangeEnd = plan.rangeBegin + recordSize;
        LogCapture log;
        const ScanResult scan = Scan(Faulty(image_, plan));
        ASSERT_EQ(scan.state, kScanFinished);
        for (const auto& [other, info] : baseline) {
            const bool found = std::any_of(scan.files.begin(), scan.files.end(),
                                           [&](const DeletedFileInfo& f) { return f.GetRecordNumber() == other; });
            const bool sameCluster = other / perCluster == number / perCluster;
            EXPECT_EQ(found, !sameCluster) << "bad record " << number << ", file " << other;
            if (!found) {
                EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: " + std::to_wstring(other) + L". ")), 1u);
            }
        }
    }

    std::printf("fault injection, scan: %llu reads, %llu failing and %llu short runs: %zu refused the volume, "
                "%zu lost a record, %zu paths became Unknown\n",
                static_cast<unsigned long long>(reads), static_cast<unsigned long long>(reads + 1),
                static_cast<unsigned long long>(reads + 1), refused, lost, unknown);
}

TEST_F(FaultInjection, RestoreFailsWithItsLineAndKeepsWhatItWrote) {
    size_t cases = 0, whole = 0, kept = 0;
    for (uint64_t record : kRestored) {
        const std::wstring dest = Dest("r" + std::to_string(record) + ".bin");
        ASSERT_TRUE(RestoreFile(Faulty(image_, FaultPlan{}), record, dest)) << record;
        const std::optional<Bytes> complete = ReadBack(dest);
        ASSERT_TRUE(complete);
        const uint64_t reads =
            CountReads(image_, [&](const VolumeSource& s) { RestoreFile(s, record, Dest("count.bin")); });

        // One read that fails or comes back short, or every read from one on failing.
        const struct {
            const char* name;
            uint64_t FaultPlan::*read;
        } faults[] = {{"failed", &FaultPlan::failAtRead},
                      {"short", &FaultPlan::shortAtRead},
                      {"failing from", &FaultPlan::failFromRead}};
        for (const auto& fault : faults) {
            const bool once = fault.read != &FaultPlan::failFromRead;
            for (uint64_t k = 1; k <= reads; ++k) {
                SCOPED_TRACE("record " + std::to_string(record) + ", " + fault.name + " read " + std::to_string(k));
                FaultPlan plan;
                plan.*fault.read = k;
                plan.shortKeep = 100;
                fs::remove(QuorretFuzz::NativePath(dest));
                LogCapture log;
                const bool ok = RestoreFile(Faulty(image_, plan), record, dest);
                const std::optional<Bytes> written = ReadBack(dest);
                ++cases;
                if (ok) {
                    // A read the restore could do without (the $Volume record) failed: the file is whole.
                    EXPECT_EQ(written, complete);
                    EXPECT_EQ(RestoreFailureLines(log.Lines()), 0u);
                    ++whole;
                    continue;
                }
                EXPECT_EQ(RestoreFailureLines(log.Lines()), 1u);
                EXPECT_EQ(log.Count(LogCapture::Info(L"File restored: " + dest + L".")), 0u);
                // A data read that failed once is read again in smaller pieces: only a read
                // before the file was made can end the restore.
                if (once) {
                    EXPECT_FALSE(written);
                }
                if (!written) continue;
                // What was written stays: every whole cluster (4096 bytes) read before the fault,
                // the right bytes.
                EXPECT_EQ(written->size() % 4096, 0u);
                ASSERT_LE(written->size(), complete->size());
                EXPECT_TRUE(std::equal(written->begin(), written->end(), complete->begin()));
                kept += !written->empty();
            }
        }
    }
    std::printf("fault injection, restore: %zu runs over %zu files: %zu whole, %zu failed keeping a part\n", cases,
                std::size(kRestored), whole, kept);
    EXPECT_GT(cases, 50u);
    EXPECT_GT(kept, 0u);
}

TEST_F(FaultInjection, FullDiskEndsTheRestoreWithItsLine) {
    const uint64_t record = 81;  // fragmented, 241000 bytes: four pieces of 64 KiB
    ASSERT_TRUE(RestoreFile(Faulty(image_, FaultPlan{}), record, Dest("whole.bin")));
    const std::optional<Bytes> whole = ReadBack(Dest("whole.bin"));
    ASSERT_TRUE(whole);

    // A device that takes nothing.
    {
        LogCapture log;
        EXPECT_FALSE(RestoreFile(Faulty(image_, FaultPlan{}), record, L"/dev/full"));
        EXPECT_EQ(log.Count(LogCapture::Error(L"Disk is full: /dev/full (No space left on device)")), 1u);
        EXPECT_EQ(log.Count(LogCapture::Info(L"File restored: /dev/full.")), 0u);
    }

    // A disk that fills after 100000 bytes, in the middle of the second piece: the process may
    // write no more (the signal that would end it is ignored, so the write fails instead).
    const std::wstring dest = Dest("partial.bin");
    struct rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = before;
    limit.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    bool ok = true;
    std::vector<std::wstring> lines;
    {
        LogCapture log;
        ok = RestoreFile(Faulty(image_, FaultPlan{}), record, dest);
        lines = log.Lines();
    }
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    // One line, of the file-error family, naming the destination and the system's reason.
    size_t naming = static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return StartsWith(line, L"ERROR: \t") && line.ends_with(L": " + dest + L" (File too large)\r\n");
    }));
    EXPECT_EQ(naming, 1u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), LogCapture::Info(L"File restored: " + dest + L".")), 0);
    const std::optional<Bytes> written = ReadBack(dest);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->size(), 100000u);
    EXPECT_TRUE(std::equal(written->begin(), written->end(), whole->begin()));
}

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Utf16.h"
#include "ScanFixtures.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FilePathBuilder.h"
#include "scan/FileScanTask.h"
#include "scan/PostRetry.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;
using namespace std::chrono_literals;

namespace {

struct ScanResult {
    int32_t state = -1;
    double progress = -1;
    uint64_t errors = 0;
    uint64_t neverWritten = 0;
    int finished = 0;
    std::vector<DeletedFileInfo> files;
    std::vector<std::wstring> log;
};

ScanResult RunScan(const VolumeSource& source, const std::wstring& filter = L"", unsigned threads = 0) {
    LogCapture capture;
    auto log = std::make_shared<CollectingNotify::Log>();
    ScanResult result;
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<CollectingNotify>(log));
        task.SetVolume(source);
        task.SetFilters(filter);
        task.SetParserThreads(threads);
        EXPECT_TRUE(task.Start());
        task.Wait();
        result.state = task.GetState();
        result.progress = task.GetProgress();
        result.errors = task.GetErrorsLogged();
        result.neverWritten = task.GetNeverWrittenRecords();
    }
    result.files = log->files;
    result.finished = log->finished;
    result.log = capture.Lines();
    return result;
}

uint64_t ErrorLines(const std::vector<std::wstring>& log) {
    return static_cast<uint64_t>(
        std::count_if(log.begin(), log.end(), [](const std::wstring& line) { return line.starts_with(L"ERROR: "); }));
}

// The walk as first written: every record read on its own, every path climbed afresh.
std::vector<DeletedFileInfo> ReferenceScan(const VolumeSource& source, const std::wstring& filterText) {
    FileFilter filter;
    filter.SetFilters(filterText);
    auto volume = source.Open();
    std::vector<DeletedFileInfo> found;
    const uint64_t total = volume->GetRecordsCount();
    for (uint64_t n = 16; n < total; ++n) {
        NTFSFileRecord record(volume.get());
        record.SetAttrMask(kNTFSMaskFileName);
        if (!record.ReadFileRecord(n) || !record.ParseAttrs()) continue;
        if (!record.IsDeleted() || record.IsDirectory() || record.GetBaseRecordRef() != 0) continue;
        wchar_t name[261];
        int length = record.GetFileName(name, 260);
        if (length <= 0 || !filter.MatchFile(std::wstring(name, length))) continue;
        std::wstring path = BuildFilePath(*volume, n);
        uint64_t times[3] = {};
        record.GetFileTime(&times[0], &times[1], &times[2]);
        record.SetAttrMask(kNTFSMaskData);
        record.ParseAttrs();
        NTFSAttributeBase* data = record.FindStream(nullptr);
        found.emplace_back(source.GetVolumeText(), n, std::wstring(name, length), path,
                           data ? data->GetDataSize() : 0, &times[0], &times[1], &times[2]);
    }
    return found;
}

void ExpectSameFiles(const std::vector<DeletedFileInfo>& actual, const std::vector<DeletedFileInfo>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "file " << i << ", record " << expected[i].GetRecordNumber());
        EXPECT_EQ(actual[i].GetRecordNumber(), expected[i].GetRecordNumber());
        EXPECT_EQ(actual[i].GetName(), expected[i].GetName());
        EXPECT_EQ(actual[i].GetPath(), expected[i].GetPath());
        EXPECT_EQ(actual[i].GetSize(), expected[i].GetSize());
        EXPECT_EQ(actual[i].GetModifiedTime(), expected[i].GetModifiedTime());
        EXPECT_EQ(actual[i].GetCreationTime(), expected[i].GetCreationTime());
        EXPECT_EQ(actual[i].GetAccessTime(), expected[i].GetAccessTime());
        EXPECT_EQ(actual[i].GetVolume(), expected[i].GetVolume());
    }
}

FileEntry Deleted(uint64_t parent, const std::wstring& name, size_t size = 0) {
    FileEntry entry;
    entry.parent = parent;
    entry.name = name;
    if (size) entry.data = Pattern(size, static_cast<uint8_t>(size));
    return entry;
}

// A device that holds its first read until released, so a test can act while the worker is
// known to be running and has not reached the first record.
class GateDevice : public Device {
public:
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool open = false;
    };
    GateDevice(std::unique_ptr<Device> inner, std::shared_ptr<Gate> gate) : inner_(std::move(inner)), gate_(gate) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        std::unique_lock<std::mutex> hold(gate_->lock);
        gate_->entered = true;
        gate_->changed.notify_all();
        gate_->changed.wait(hold, [&] { return gate_->open; });
        hold.unlock();
        return inner_->ReadAt(offset, buffer, length, delivered);
    }

private:
    std::unique_ptr<Device> inner_;
    std::shared_ptr<Gate> gate_;
};

}  // namespace

TEST(FileScanTask, ReportsExactlyTheRuleInRecordOrder) {
    VolumeImage image;
    FileEntry folder;
    folder.name = L"Docs";
    folder.directory = true;
    folder.deleted = false;
    image.AddFile(16, folder);
    FileEntry withTimes = Deleted(16, L"Report.DOCX", 3000);
    withTimes.created = 125963423400000000ull;
    withTimes.modified = 133541212799990000ull;
    withTimes.accessed = 133541212800000000ull;
    withTimes.nonResident = true;
    image.AddFile(17, withTimes);
    FileEntry live = Deleted(5, L"live.txt", 10);
    live.deleted = false;
    image.AddFile(18, live);                             // in use: never reported
    FileEntry deletedDir = Deleted(5, L"gone");
    deletedDir.directory = true;
    image.AddFile(19, deletedDir);                       // a deleted directory: never reported
    image.AddFile(20, Deleted(5, L"empty"));             // no $DATA: reported with size 0
    FileEntry noTimes = Deleted(16, L"bare.bin", 5);
    noTimes.withStandardInfo = false;
    image.AddFile(21, noTimes);                          // no $STANDARD_INFORMATION: times 0
    RecordLayout dosOnly;
    dosOnly.flags = 0;
    dosOnly.attrs = {FileNameAttr(5, L"DOSONLY.TXT", kNameDos)};
    image.SetRecord(22, dosOnly);                        // only an 8.3 name: not reported
    RecordLayout extension;
    extension.flags = 0;
    extension.baseRef = 23;
    extension.attrs = {FileNameAttr(5, L"part-of-23.txt")};
    image.SetRecord(24, extension);                      // an extension record: not a file of its own
    image.AddFile(23, Deleted(5, L"base.txt", 100));
    FileEntry big = Deleted(16, L"big.dat", 70000);
    big.nonResident = true;
    image.AddFile(40, big);
    image.AddFile(63, Deleted(5, L"last.txt", 1));       // the MFT's last record
    auto bytes = image.Build();
    VolumeSource source = MemorySource(bytes);

    ScanResult result = RunScan(source);
    EXPECT_EQ(result.state, kScanFinished);
    EXPECT_EQ(result.finished, 1);
    std::vector<uint64_t> records;
    for (const auto& f : result.files) records.push_back(f.GetRecordNumber());
    ASSERT_EQ(records, (std::vector<uint64_t>{17, 20, 21, 23, 40, 63}));

    const DeletedFileInfo& report = result.files[0];
    EXPECT_EQ(report.GetVolume(), L"T:\\");
    EXPECT_EQ(report.GetName(), L"Report.DOCX");
    EXPECT_EQ(report.GetType(), L"docx");
    EXPECT_EQ(report.GetPath(), L"T:\\Docs\\");
    EXPECT_EQ(report.GetSize(), 3000u);
    // Times come converted to local time by the reader; the differences survive.
    EXPECT_EQ(report.GetModifiedTime() - report.GetCreationTime(), 133541212799990000ull - 125963423400000000ull);
    EXPECT_EQ(result.files[1].GetSize(), 0u);
    EXPECT_EQ(result.files[2].GetModifiedTime(), 0u);
    EXPECT_EQ(result.files[2].GetCreationTime(), 0u);
    EXPECT_EQ(result.files[2].GetAccessTime(), 0u);
    EXPECT_EQ(result.files[4].GetSize(), 70000u);
    EXPECT_EQ(result.files[5].GetPath(), L"T:\\");

    ExpectSameFiles(result.files, ReferenceScan(source, L""));
    EXPECT_EQ(result.progress, 100.0 * (64 - 17) / (64 - 16));
    EXPECT_LT(result.progress, 100.0);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), LogCapture::Info(L"Total File Records: 64")), 1);
}

TEST(FileScanTask, BlockReadsMatchSingleReadsAcrossAFragmentedMft) {
    // 3000 records in two extents, so the walk crosses block and extent boundaries; every third
    // record a deleted file, in folders three deep; a few damaged records on the way.
    VolumeImage::Geometry geometry;
    geometry.records = 3000;
    geometry.mftSplit = 300;  // 1200 records in the first extent
    VolumeImage image(geometry);
    FileEntry folder;
    folder.directory = true;
    folder.deleted = false;
    for (uint64_t d = 0; d < 30; ++d) {
        folder.parent = d < 10 ? 5 : 16 + (d - 10) / 2;
        folder.name = L"dir" + std::to_wstring(d);
        image.AddFile(16 + d, folder);
    }
    for (uint64_t n = 46; n < 3000; n += 3)
        image.AddFile(n, Deleted(16 + n % 30, L"f" + std::to_wstring(n) + (n % 2 ? L".txt" : L".log"), n % 500));
    image.SetRawRecord(1024, Bytes(1024, 0));     // zeros: "Invalid file record. "
    Bytes broken = image.EncodeRecord(1201);
    broken[1022] ^= 0xFF;                         // the second sector's fix-up no longer matches
    image.SetRawRecord(1201, broken);
    image.SetRawRecord(20, Bytes(1024, 0));       // a folder that cannot be read
    auto bytes = image.Build();
    VolumeSource source = MemorySource(bytes);

    ScanResult all = RunScan(source, L"", 1);
    EXPECT_EQ(all.state, kScanFinished);
    EXPECT_EQ(all.files.size(), 983u);
    ExpectSameFiles(all.files, ReferenceScan(source, L""));
    // Record 1024 once; record 20 once by the walk and once as the folder of the files below it.
    EXPECT_EQ(std::count(all.log.begin(), all.log.end(), LogCapture::Error(L"Invalid file record. ")), 3);
    EXPECT_EQ(std::count(all.log.begin(), all.log.end(), LogCapture::Error(L"Failed to update sequence number. ")), 1);
    // Every error line the walk logged, for the window's count label, but for the walk's reads of
    // the two records of all zeros: never written, they are counted apart.
    EXPECT_EQ(all.neverWritten, 2u);
    EXPECT_EQ(all.errors, ErrorLines(all.log) - 2);
    EXPECT_GE(all.errors, 2u);

    ScanResult logs = RunScan(source, L"*.LOG");
    ExpectSameFiles(logs.files, ReferenceScan(source, L"*.LOG"));
    EXPECT_GT(logs.files.size(), 400u);

    // Parsed on several threads, twelve blocks come back in order, the log lines too, wherever
    // the walk met a damaged record or folder.
    for (unsigned threads : {2u, 3u, 7u}) {
        ScanResult parallel = RunScan(source, L"", threads);
        EXPECT_EQ(parallel.state, kScanFinished);
        ExpectSameFiles(parallel.files, all.files);
        EXPECT_EQ(parallel.log, all.log) << threads << " threads";
        EXPECT_EQ(parallel.progress, all.progress);
        EXPECT_EQ(parallel.errors, all.errors);
    }
}

TEST(FileScanTask, UnreadableStretchOfTheMftIsReadRecordByRecord) {
    VolumeImage::Geometry geometry;
    geometry.records = 2048;
    VolumeImage image(geometry);
    for (uint64_t n = 16; n < 2048; n += 2) image.AddFile(n, Deleted(5, L"x" + std::to_wstring(n) + L".txt"));
    auto bytes = image.Build();
    // Records 1500 to 1503 sit on bytes the device cannot read.
    const uint64_t begin = image.MftByteOnVolume(1500 * 1024), end = image.MftByteOnVolume(1504 * 1024);
    VolumeSource faulty = VolumeSource::FromDevice(
        [bytes, begin, end] {
            FaultPlan plan;
            plan.rangeBegin = begin;
            plan.rangeEnd = end;
            return std::make_unique<FaultDevice>(OpenImage(bytes), plan);
        },
        L"F:\\");

    ScanResult result = RunScan(faulty, L"", 1);
    EXPECT_EQ(result.state, kScanFinished);
    ExpectSameFiles(result.files, ReferenceScan(faulty, L""));
    EXPECT_EQ(result.files.size(), 1016u - 2);
    ScanResult parallel = RunScan(faulty, L"", 3);
    ExpectSameFiles(parallel.files, result.files);
    EXPECT_EQ(parallel.log, result.log);
    EXPECT_EQ(parallel.errors, result.errors);
    EXPECT_EQ(result.errors, ErrorLines(result.log));
    EXPECT_GE(result.errors, 4u);
    for (uint64_t n = 1500; n < 1504; ++n)
        EXPECT_EQ(std::count(result.log.begin(), result.log.end(),
                             LogCapture::Error(L"Failed to read file record: " + std::to_wstring(n) + L". ")),
                  1)
            << n;
}

TEST(FileScanTask, SixteenRecordsFailWithoutFinished) {
    VolumeImage::Geometry geometry;
    geometry.records = 16;
    VolumeImage image(geometry);
    ScanResult result = RunScan(MemorySource(image.Build()));
    EXPECT_EQ(result.state, kScanFailed);
    EXPECT_EQ(result.finished, 0);
    EXPECT_TRUE(result.files.empty());
    EXPECT_EQ(result.progress, 0.0);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), LogCapture::Info(L"Total File Records: 16")), 1);
}

TEST(FileScanTask, FewerThanSixteenRecordsFinishWithoutAWalk) {
    VolumeImage::Geometry geometry;
    geometry.records = 16;
    VolumeImage image(geometry);
    RecordLayout mft;  // an $MFT whose $DATA claims only 10 records
    mft.attrs = {FileNameAttr(5, L"$MFT"), NonResidentAttr(0x80, {{4, 4}}, 4096, 10 * 1024)};
    image.SetRecord(0, mft);
    ScanResult result = RunScan(MemorySource(image.Build()));
    EXPECT_EQ(result.state, kScanFinished);
    EXPECT_EQ(result.finished, 1);
    EXPECT_TRUE(result.files.empty());
    EXPECT_EQ(result.progress, 0.0);
}

TEST(FileScanTask, RefusedVolumesFailWithTheirLogLine) {
    VolumeImage::Geometry old;
    old.major = 2;
    VolumeImage oldImage(old);
    ScanResult result = RunScan(MemorySource(oldImage.Build(), L"O:\\"));
    EXPECT_EQ(result.state, kScanFailed);
    EXPECT_EQ(result.finished, 0);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(),
                         LogCapture::Error(L"Volume: O:\\ is not a valid NTFS volume or the NTFS version < 3.0.")),
              1);

    auto notNtfs = std::make_shared<const Bytes>(Bytes(65536, 0));
    result = RunScan(MemorySource(notNtfs, L"Z:\\"));
    EXPECT_EQ(result.state, kScanFailed);
    EXPECT_EQ(result.log, (std::vector<std::wstring>{
                              LogCapture::Error(L"Not a NTFS file system. "),
                              LogCapture::Error(L"Volume: Z:\\ is not a valid NTFS volume or the NTFS version < 3.0.")}));

    // Accepted by its version, but record 0 has no $DATA: nothing past record 15 can be found.
    VolumeImage noMft;
    noMft.SetRecord(0, RecordLayout{});
    result = RunScan(MemorySource(noMft.Build(), L"M:\\"));
    EXPECT_EQ(result.state, kScanFailed);
    EXPECT_EQ(result.finished, 0);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(),
                         LogCapture::Error(L"Volume: M:\\ has no readable MFT data.")),
              1);

    // An image file that does not exist: the file-error text, then the scan's line.
    const std::wstring missing = Utf8ToWide(QUORRET_BINARY_DIR) + L"/no-such.img";
#ifdef _WIN32
    const std::wstring kNoSuchFile;
#else
    const std::wstring kNoSuchFile = L" (No such file or directory)";  // the system's own reason
#endif
    result = RunScan(VolumeSource::FromImage(missing, 0));
    EXPECT_EQ(result.state, kScanFailed);
    EXPECT_EQ(result.log, (std::vector<std::wstring>{
                              LogCapture::Error(L"File not found: " + missing + kNoSuchFile),
                              LogCapture::Error(L"Volume: \\ is not a valid NTFS volume or the NTFS version < 3.0.")}));
}

TEST(FileScanTask, StopBeforeTheFirstRecordStillFinishes) {
    VolumeImage image;
    for (uint64_t n = 16; n < 64; ++n) image.AddFile(n, Deleted(5, L"f.txt"));
    auto bytes = image.Build();
    auto gate = std::make_shared<GateDevice::Gate>();
    auto log = std::make_shared<CollectingNotify::Log>();
    FileScanTask task;
    task.SetNotify(std::make_unique<CollectingNotify>(log));
    task.SetVolume(VolumeSource::FromDevice(
        [bytes, gate] { return std::make_unique<GateDevice>(OpenImage(bytes), gate); }, L"G:\\"));
    task.SetFilters(L"");
    ASSERT_TRUE(task.Start());
    {
        std::unique_lock<std::mutex> hold(gate->lock);
        gate->changed.wait(hold, [&] { return gate->entered; });  // the worker is opening the volume
    }
    EXPECT_TRUE(task.IsRunning());
    task.Stop();
    {
        std::lock_guard<std::mutex> hold(gate->lock);
        gate->open = true;
        gate->changed.notify_all();
    }
    task.Wait();
    EXPECT_EQ(task.GetState(), kScanFinished);
    EXPECT_EQ(task.GetProgress(), 0.0);
    EXPECT_EQ(log->finished, 1);
    EXPECT_TRUE(log->files.empty());
    task.Stop();  // no effect once finished
    EXPECT_EQ(task.GetState(), kScanFinished);
}

TEST(FileScanTask, StartNeedsAVolumeAndRunsOnce) {
    FileScanTask task;
    EXPECT_EQ(task.GetState(), kScanNotStarted);
    EXPECT_EQ(task.GetFilterText(), L"*.*");
    EXPECT_FALSE(task.MatchFile(L"a.txt"));  // no filter list before SetFilters
    task.SetVolume(L"");
    EXPECT_FALSE(task.Start());
    EXPECT_EQ(task.GetState(), kScanNotStarted);
    task.Stop();
    EXPECT_EQ(task.GetState(), kScanNotStarted);

    VolumeImage image;
    task.SetVolume(MemorySource(image.Build()));
    task.SetFilters(L"*.txt");
    EXPECT_TRUE(task.MatchFile(L"A.TXT"));
    ASSERT_TRUE(task.Start());
    EXPECT_FALSE(task.Start());
    task.Wait();
    EXPECT_EQ(task.GetState(), kScanFinished);
    EXPECT_EQ(FileScanTask::ScanThreadProc(nullptr), -1);
}

TEST(FileScanTask, DestroyingARunningTaskWaitsForItsWorker) {
    // A target that stops taking files after the third and waits until it is abandoned: the
    // task is destroyed while its worker is inside Found.
    class StuckNotify : public CollectingNotify {
    public:
        using CollectingNotify::CollectingNotify;
        void Found(std::unique_ptr<DeletedFileInfo> file) override {
            CollectingNotify::Found(std::move(file));
            std::unique_lock<std::mutex> hold(lock_);
            if (++count_ >= 3) released_.wait(hold, [&] { return abandoned_; });
        }
        void Abandon() override {
            std::lock_guard<std::mutex> hold(lock_);
            abandoned_ = true;
            released_.notify_all();
        }

    private:
        std::mutex lock_;
        std::condition_variable released_;
        int count_ = 0;
        bool abandoned_ = false;
    };
    VolumeImage::Geometry geometry;
    geometry.records = 400;
    VolumeImage image(geometry);
    for (uint64_t n = 16; n < 400; ++n) image.AddFile(n, Deleted(5, L"f.txt"));
    auto log = std::make_shared<CollectingNotify::Log>();
    auto task = std::make_unique<FileScanTask>();
    task->SetNotify(std::make_unique<StuckNotify>(log));
    task->SetVolume(MemorySource(image.Build()));
    task->SetFilters(L"");
    ASSERT_TRUE(task->Start());
    {
        std::unique_lock<std::mutex> hold(log->lock);
        log->changed.wait(hold, [&] { return log->files.size() >= 3; });
    }
    task.reset();  // stops, releases the target and joins; the sanitizer sees any late touch
    std::lock_guard<std::mutex> hold(log->lock);
    EXPECT_TRUE(log->destroyed);
    EXPECT_EQ(log->finished, 1);  // the stopped walk still ended with Finished, before destruction
    EXPECT_EQ(log->files.size(), 3u);
}

TEST(PostUntilAccepted, RetriesAFullQueueAndNeverDropsWhileTheReceiverLives) {
    std::atomic<bool> abandoned{false};
    int tries = 0;
    EXPECT_TRUE(PostUntilAccepted([&] { return ++tries == 6; }, [] { return true; }, abandoned, 0ms));
    EXPECT_EQ(tries, 6);

    int alive = 3;
    tries = 0;
    EXPECT_FALSE(PostUntilAccepted([&] { return ++tries, false; }, [&] { return alive-- > 0; }, abandoned, 0ms));
    EXPECT_EQ(tries, 3);  // the receiver went away: the caller keeps (and frees) the event

    abandoned = true;
    tries = 0;
    EXPECT_FALSE(PostUntilAccepted([&] { return ++tries, true; }, [] { return true; }, abandoned, 0ms));
    EXPECT_EQ(tries, 0);
}

TEST(FileScanTask, ManyFilesThroughAQueueThatFillsUpArriveComplete) {
    // A receiver whose queue holds 50 files and drains slowly: every file still arrives, in order.
    class BoundedQueueNotify : public FileScanNotify {
    public:
        struct Queue {
            std::mutex lock;
            std::vector<uint64_t> pending, received;
            bool finished = false;
            int refusals = 0;
        };
        explicit BoundedQueueNotify(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}
        void Found(std::unique_ptr<DeletedFileInfo> file) override {
            uint64_t record = file->GetRecordNumber();
            PostUntilAccepted(
                [&] {
                    std::lock_guard<std::mutex> hold(queue_->lock);
                    if (queue_->pending.size() >= 50) {
                        ++queue_->refusals;
                        return false;
                    }
                    queue_->pending.push_back(record);
                    return true;
                },
                [] { return true; }, abandoned_, 1ms);
        }
        void Finished() override {
            std::lock_guard<std::mutex> hold(queue_->lock);
            queue_->finished = true;
        }
        void Abandon() override { abandoned_ = true; }

    private:
        std::shared_ptr<Queue> queue_;
        std::atomic<bool> abandoned_{false};
    };
    VolumeImage::Geometry geometry;
    geometry.records = 1500;
    VolumeImage image(geometry);
    for (uint64_t n = 16; n < 1500; ++n) image.AddFile(n, Deleted(5, L"f.txt"));
    auto queue = std::make_shared<BoundedQueueNotify::Queue>();
    FileScanTask task;
    task.SetNotify(std::make_unique<BoundedQueueNotify>(queue));
    task.SetVolume(MemorySource(image.Build()));
    task.SetFilters(L"");
    ASSERT_TRUE(task.Start());
    while (true) {
        std::this_thread::sleep_for(1ms);
        std::lock_guard<std::mutex> hold(queue->lock);
        // Nothing is taken before the queue has been full once; then at most 20 per round, as a
        // busy window would.
        if (queue->refusals == 0) continue;
        size_t take = std::min<size_t>(20, queue->pending.size());
        queue->received.insert(queue->received.end(), queue->pending.begin(), queue->pending.begin() + take);
        queue->pending.erase(queue->pending.begin(), queue->pending.begin() + take);
        if (queue->finished && queue->pending.empty()) break;
    }
    task.Wait();
    ASSERT_EQ(queue->received.size(), 1484u);
    for (size_t i = 0; i < queue->received.size(); ++i) ASSERT_EQ(queue->received[i], 16 + i);
    EXPECT_GT(queue->refusals, 0);  // the queue did fill up
}

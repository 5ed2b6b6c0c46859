#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "ScanFixtures.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FilePathBuilder.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

// A parent walk that goes round for ever must fail its test within seconds, by name, instead of
// holding the whole run until the harness gives up on it. A looping walk cannot be stopped from
// outside, so the watchdog ends the process.
class WalkWatchdog {
public:
    WalkWatchdog() : test_(CurrentTestName()), thread_([this] { Watch(); }) {}
    ~WalkWatchdog() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    static constexpr std::chrono::seconds kLimit{10};

    static std::string CurrentTestName() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        return info ? std::string(info->test_suite_name()) + "." + info->name() : "(no test)";
    }

    void Watch() {
        std::unique_lock<std::mutex> hold(lock_);
        if (changed_.wait_for(hold, kLimit, [this] { return done_; })) return;
        std::fprintf(stderr, "%s: Failure\n%s did not end within %lld s: a parent walk goes round for ever\n",
                     __FILE__, test_.c_str(), static_cast<long long>(kLimit.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }

    std::string test_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the members it reads exist
};

FileEntry Folder(uint64_t parent, const std::wstring& name, bool deleted = false) {
    FileEntry entry;
    entry.parent = parent;
    entry.name = name;
    entry.directory = true;
    entry.deleted = deleted;
    return entry;
}

FileEntry File(uint64_t parent, const std::wstring& name) {
    FileEntry entry;
    entry.parent = parent;
    entry.name = name;
    return entry;
}

// Both ways of building a path must agree; returns the answer.
std::wstring PathOf(const NTFSVolume& volume, uint64_t record) {
    std::wstring plain = BuildFilePath(volume, record);
    NTFSFileRecord file(&volume);
    file.SetAttrMask(kNTFSMaskFileName);
    std::wstring cached = L"(record unreadable)";
    if (file.ReadFileRecord(record) && file.ParseAttrs()) {
        DirectoryPathCache cache(volume);
        cached = cache.BuildFilePath(record, file.GetParentRef());
    }
    EXPECT_EQ(plain, cached) << "record " << record;
    return plain;
}

}  // namespace

TEST(BuildFilePath, FolderLevelsOutermostFirst) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    image.AddFile(16, Folder(5, L"Work"));
    image.AddFile(17, Folder(16, L"Reports", /*deleted=*/true));  // a deleted folder still names itself
    image.AddFile(18, File(17, L"q3.xlsx"));
    image.AddFile(19, File(5, L"top.txt"));
    image.AddFile(20, File(16, L"mid.txt"));
    auto volume = OpenMemoryVolume(image.Build());
    ASSERT_TRUE(volume->IsVolumeOK());
    EXPECT_EQ(PathOf(*volume, 18), L"T:\\Work\\Reports\\");
    EXPECT_EQ(PathOf(*volume, 19), L"T:\\");
    EXPECT_EQ(PathOf(*volume, 20), L"T:\\Work\\");
    EXPECT_EQ(PathOf(*volume, 17), L"T:\\Work\\");
    EXPECT_EQ(PathOf(*volume, 5), L"T:\\");  // the root names itself as parent
}

// Names a POSIX-namespace writer or a damaged record may give a folder or file: each stays one
// visible level, and a name with no characters shows as its record.
TEST(BuildFilePath, FoldersNamedDotEmptyOrHoldingABackslashStayOneLevel) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    image.AddFile(16, Folder(5, L"."));
    image.AddFile(17, Folder(16, L"a\\b"));
    image.AddFile(18, File(17, L"x.txt"));
    image.AddFile(19, Folder(5, L""));
    image.AddFile(20, File(19, L""));
    RecordLayout dosOnly;
    dosOnly.flags = 0;
    dosOnly.attrs = {FileNameAttr(5, L"DOSONLY.TXT", kNameDos)};
    image.SetRecord(21, dosOnly);
    auto volume = OpenMemoryVolume(image.Build());
    ASSERT_TRUE(volume->IsVolumeOK());
    EXPECT_EQ(PathOf(*volume, 18), L"T:\\_\\a_b\\");
    EXPECT_EQ(PathOf(*volume, 20), L"T:\\record-19\\");
    NTFSFileRecord record(volume.get());
    auto shown = [&](uint64_t n) {
        record.SetAttrMask(kNTFSMaskFileName);
        EXPECT_TRUE(record.ReadFileRecord(n) && record.ParseAttrs()) << n;
        return ShownRecordName(record, n);
    };
    EXPECT_EQ(shown(20), L"record-20");
    EXPECT_EQ(shown(18), L"x.txt");
    EXPECT_EQ(shown(21), L"");  // an 8.3 name alone is the short form of a name that is gone
}

// A folder whose base record keeps only its 8.3 name, the long one in an extension record its
// attribute list names: the path still shows the long name.
TEST(BuildFilePath, FolderLongNameInAnExtensionRecord) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    RecordLayout base;
    base.flags = kRecordInUse | kRecordDirectory;
    base.attrs = {StandardInfoAttr(1, 2, 3), AttributeListAttr({{0x10, 16}, {0x30, 16}, {0x30, 17}}),
                  FileNameAttr(5, L"QUARTE~1", kNameDos, true)};
    image.SetRecord(16, base);
    RecordLayout extension;
    extension.baseRef = 16;
    extension.attrs = {FileNameAttr(5, L"Quarterly reports", kNameWin32, true)};
    image.SetRecord(17, extension);
    image.AddFile(18, File(16, L"q3.xlsx"));
    auto volume = OpenMemoryVolume(image.Build());
    ASSERT_TRUE(volume->IsVolumeOK());
    EXPECT_EQ(PathOf(*volume, 18), L"T:\\Quarterly reports\\");
}

TEST(BuildFilePath, BrokenChainsGiveUnknown) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    image.AddFile(16, File(5, L"plain.txt"));
    image.AddFile(17, File(16, L"under-a-file.txt"));  // parent is not a directory
    image.AddFile(18, File(0, L"parent-zero.txt"));
    image.AddFile(19, File(40, L"parent-unreadable.txt"));
    image.SetRawRecord(40, Bytes(1024, 0));
    image.AddFile(21, File(5000, L"parent-past-the-end.txt"));
    RecordLayout nameless;  // a directory without any $FILE_NAME
    nameless.flags = kRecordInUse | kRecordDirectory;
    image.SetRecord(22, nameless);
    image.AddFile(23, File(22, L"under-nameless.txt"));
    RecordLayout dosOnly;  // a directory whose only name is an 8.3 one
    dosOnly.flags = kRecordInUse | kRecordDirectory;
    dosOnly.attrs = {FileNameAttr(5, L"LONGFO~1", kNameDos, true)};
    image.SetRecord(24, dosOnly);
    image.AddFile(25, File(24, L"under-dos-only.txt"));
    image.AddFile(26, Folder(40, L"orphan-dir"));
    image.AddFile(27, File(26, L"two-up-unreadable.txt"));
    auto volume = OpenMemoryVolume(image.Build());
    LogCapture log;
    for (uint64_t record : {17, 18, 19, 21, 23, 25, 27})
        EXPECT_EQ(PathOf(*volume, record), L"T:\\Unknown") << record;
    EXPECT_EQ(PathOf(*volume, 30), L"T:\\Unknown");  // a formatted, empty record has no parent
}

TEST(BuildFilePath, LoopsOfParentReferencesEnd) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    image.AddFile(16, Folder(17, L"A"));
    image.AddFile(17, Folder(16, L"B"));  // A and B name each other
    image.AddFile(18, File(16, L"in-loop.txt"));
    image.AddFile(19, Folder(19, L"Self"));  // names itself: taken for a root
    image.AddFile(20, File(19, L"under-self.txt"));
    image.AddFile(21, Folder(17, L"C"));
    image.AddFile(22, File(21, L"below-loop.txt"));
    auto volume = OpenMemoryVolume(image.Build());
    EXPECT_EQ(PathOf(*volume, 18), L"T:\\Unknown");
    EXPECT_EQ(PathOf(*volume, 22), L"T:\\Unknown");
    EXPECT_EQ(PathOf(*volume, 20), L"T:\\Self\\");
}

TEST(BuildFilePath, VolumeThatIsNotOkGivesUnknown) {
    const WalkWatchdog watchdog;
    VolumeImage::Geometry old;
    old.major = 1;
    old.minor = 2;
    VolumeImage image(old);
    image.AddFile(16, File(5, L"a.txt"));
    auto volume = OpenMemoryVolume(image.Build(), L"Q:\\");
    ASSERT_FALSE(volume->IsVolumeOK());
    EXPECT_EQ(BuildFilePath(*volume, 16), L"Q:\\Unknown");
    DirectoryPathCache cache(*volume);
    EXPECT_EQ(cache.BuildFilePath(16, 5), L"Q:\\Unknown");
}

TEST(DirectoryPathCache, ReadsEachFolderOnceAndLogsABadOneOnce) {
    const WalkWatchdog watchdog;
    VolumeImage image;
    image.AddFile(16, Folder(5, L"Deep"));
    image.AddFile(17, Folder(16, L"er"));
    image.SetRawRecord(18, Bytes(1024, 0));
    for (uint64_t n = 20; n < 30; ++n) image.AddFile(n, File(n % 2 ? 17 : 18, L"f.txt"));
    auto volume = OpenMemoryVolume(image.Build());

    LogCapture plainLog;
    for (uint64_t n = 20; n < 30; ++n) BuildFilePath(*volume, n);
    EXPECT_EQ(plainLog.Count(LogCapture::Error(L"Invalid file record. ")), 5u);

    LogCapture cachedLog;
    DirectoryPathCache cache(*volume);
    for (uint64_t n = 20; n < 30; ++n)
        EXPECT_EQ(cache.BuildFilePath(n, n % 2 ? 17 : 18), n % 2 ? L"T:\\Deep\\er\\" : L"T:\\Unknown");
    EXPECT_EQ(cachedLog.Count(LogCapture::Error(L"Invalid file record. ")), 1u);  // read once, not per file
}

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "ScanFixtures.h"
#include "base/Utf16.h"
#include "base/os/Files.h"
#include "scan/FileSystem.h"
#include "scan/PathNames.h"
#include "scan/RestoreFile.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

// A fresh, empty folder under the build tree for one test.
std::wstring ScratchFolder(const std::string& name) {
    std::string dir = std::string(QUORRET_BINARY_DIR) + "/restore-test/" + name;
    std::wstring wide = Utf8ToWide(dir);
    uint32_t error = 0;
    CreateDirectoryTree(wide, &error);
    return wide;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const wchar_t* candidate : {L"a.bin", L"b.bin", L"c.bin", L"d.bin", L"out.bin"})
        if (FileExists(folder + L"/" + candidate)) names.push_back(candidate);
    return names;
}

std::optional<Bytes> ReadFile(const std::wstring& path) {
    std::ifstream in(WideToUtf8(path), std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveIfThere(const std::wstring& path) {
    uint32_t error = 0;
    RemoveFilePath(path, &error);
}

FileEntry DeletedFile(const std::wstring& name, std::optional<Bytes> data, bool nonResident = false) {
    FileEntry entry;
    entry.name = name;
    entry.data = std::move(data);
    entry.nonResident = nonResident;
    return entry;
}

struct Restored {
    bool ok;
    std::vector<std::wstring> log;  // without the volume's own version line
    std::optional<Bytes> content;  // nothing when no file was created
};

Restored Restore(const VolumeSource& source, uint64_t record, const std::wstring& dest) {
    RemoveIfThere(dest);
    LogCapture capture;
    bool ok = RestoreFile(source, record, dest);
    std::vector<std::wstring> log = capture.Lines();
    std::erase(log, LogCapture::Info(L"NTFS volume version is: 3.1. "));
    return {ok, log, ReadFile(dest)};
}

}  // namespace

TEST(RestoreFile, CopiesResidentNonResidentSparseAndEmptyStreams) {
    VolumeImage image;
    const Bytes small = Pattern(700, 1);
    const Bytes large = Pattern(3 * 65536 + 1234, 2);  // four pieces, the last one short
    image.AddFile(16, DeletedFile(L"small.txt", small));
    image.AddFile(17, DeletedFile(L"large.bin", large, true));
    image.AddFile(18, DeletedFile(L"empty.txt", Bytes{}));
    // 40 KiB of which the middle 8 KiB are a sparse run.
    Bytes sparseContent = Pattern(40960, 3);
    std::fill(sparseContent.begin() + 16384, sparseContent.begin() + 24576, 0);
    uint64_t first = image.AllocateClusters(4), last = image.AllocateClusters(6);
    image.WriteAt(first * 4096, Bytes(sparseContent.begin(), sparseContent.begin() + 16384));
    image.WriteAt(last * 4096, Bytes(sparseContent.begin() + 24576, sparseContent.end()));
    RecordLayout sparse;
    sparse.flags = 0;
    sparse.attrs = {StandardInfoAttr(0, 0, 0, 0x200), FileNameAttr(5, L"sparse.dat"),
                    NonResidentAttr(0x80, {{static_cast<int64_t>(first), 4}, {-1, 2}, {static_cast<int64_t>(last), 4}},
                                    4096, 40960)};
    image.SetRecord(19, sparse);
    // Flagged compressed, but its stream is stored plainly: it parses, so it is restored as stored.
    FileEntry flagged = DeletedFile(L"flagged.txt", Pattern(300, 4));
    flagged.fileFlags = 0x800;
    image.AddFile(20, flagged);
    auto source = MemorySource(image.Build());
    const std::wstring dir = ScratchFolder("copies");

    Restored r = Restore(source, 16, dir + L"/small.txt");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.content, small);
    EXPECT_EQ(r.log, std::vector<std::wstring>{LogCapture::Info(L"File restored: " + dir + L"/small.txt.")});

    r = Restore(source, 17, dir + L"/large.bin");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.content, large);

    r = Restore(source, 18, dir + L"/empty.txt");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.content, Bytes{});

    r = Restore(source, 19, dir + L"/sparse.dat");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.content, sparseContent);

    r = Restore(source, 20, dir + L"/flagged.txt");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.content, Pattern(300, 4));
}

TEST(RestoreFile, RefusesBeforeCreatingTheDestination) {
    VolumeImage image;
    FileEntry encrypted = DeletedFile(L"secret.docx", Pattern(500, 5));
    encrypted.fileFlags = 0x4000;
    image.AddFile(16, encrypted);
    RecordLayout encryptedStream;  // only the $DATA attribute says so
    encryptedStream.flags = 0;
    encryptedStream.attrs = {StandardInfoAttr(0, 0, 0), FileNameAttr(5, L"x.efs"),
                             ResidentAttr(0x80, Pattern(64, 6), L"", 0x4000)};
    image.SetRecord(17, encryptedStream);
    FileEntry live = DeletedFile(L"now-in-use.txt", Pattern(100, 7));
    live.deleted = false;
    image.AddFile(18, live);
    image.SetRawRecord(19, Bytes(1024, 0));
    RecordLayout badType;  // an attribute type no record may hold: the parse fails
    badType.flags = 0;
    badType.attrs = {StandardInfoAttr(0, 0, 0), FileNameAttr(5, L"bad.txt"), ResidentAttr(0x210, Bytes(8, 0))};
    image.SetRecord(20, badType);
    RecordLayout badCompressed = badType;
    badCompressed.attrs[0] = StandardInfoAttr(0, 0, 0, 0x800);
    image.SetRecord(21, badCompressed);
    RecordLayout badEncrypted = badType;
    badEncrypted.attrs[0] = StandardInfoAttr(0, 0, 0, 0x4000);
    image.SetRecord(22, badEncrypted);
    auto source = MemorySource(image.Build(), L"E:\\");
    const std::wstring dir = ScratchFolder("refusals");
    const std::wstring dest = dir + L"/out.bin";

    const std::vector<std::pair<uint64_t, std::vector<std::wstring>>> cases = {
        {16, {LogCapture::Error(L"Failed to restore encrypted file for 16 at E:\\.")}},
        {17, {LogCapture::Error(L"Failed to restore encrypted file for 17 at E:\\.")}},
        {18, {LogCapture::Error(L"Failed to restore reused record for 18 at E:\\.")}},
        {19, {LogCapture::Error(L"Invalid file record. "), LogCapture::Error(L"Failed to parse FileRecord 19 at E:\\.")}},
        {20, {LogCapture::Error(L"Invalid Attribute Type: 0x0210. "),
              LogCapture::Error(L"Failed to parse attribute for 20 at E:\\.")}},
        {21, {LogCapture::Error(L"Invalid Attribute Type: 0x0210. "),
              LogCapture::Error(L"Failed to restore compressed file for 21 at E:\\.")}},
        {22, {LogCapture::Error(L"Invalid Attribute Type: 0x0210. "),
              LogCapture::Error(L"Failed to restore encrypted file for 22 at E:\\.")}},
        {5000, {LogCapture::Error(L"Failed to read file record: 5000. "),
                LogCapture::Error(L"Failed to parse FileRecord 5000 at E:\\.")}},
    };
    for (const auto& [record, log] : cases) {
        Restored r = Restore(source, record, dest);
        EXPECT_FALSE(r.ok) << record;
        EXPECT_EQ(r.log, log) << record;
        EXPECT_FALSE(r.content) << record << ": the destination was created";
    }
    EXPECT_TRUE(FolderEntries(dir).empty());
}

TEST(RestoreFile, MissingDataLeavesAnEmptyFileAndNoLineOfItsOwn) {
    VolumeImage image;
    image.AddFile(16, DeletedFile(L"nodata.txt", std::nullopt));
    const std::wstring dir = ScratchFolder("nodata");
    Restored r = Restore(MemorySource(image.Build()), 16, dir + L"/a.bin");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.content, Bytes{});
    EXPECT_EQ(FolderEntries(dir), std::vector<std::wstring>{L"a.bin"});
}

TEST(RestoreFile, ReadFailuresKeepWhatWasWritten) {
    VolumeImage image;
    const Bytes content = Pattern(5 * 65536, 8);
    image.AddFile(16, DeletedFile(L"long.bin", content, true));
    auto bytes = image.Build();
    // The file's clusters start right after the data area's first ones; find them by content.
    auto at = std::search(bytes->begin() + 4096, bytes->end(), content.begin(), content.begin() + 4096);
    ASSERT_NE(at, bytes->end());
    const uint64_t dataStart = static_cast<uint64_t>(at - bytes->begin());
    auto faulty = [&](bool shortRead) {
        return VolumeSource::FromDevice(
            [bytes, dataStart, shortRead] {
                FaultPlan plan;
                plan.rangeBegin = dataStart + 2 * 65536 + 100;  // inside the third piece
                plan.rangeEnd = plan.rangeBegin + 1;
                plan.rangeShort = shortRead;
                return std::make_unique<FaultDevice>(OpenImage(bytes), plan);
            },
            L"R:\\");
    };
    const std::wstring dir = ScratchFolder("readfail");
    for (bool shortRead : {true, false}) {
        Restored r = Restore(faulty(shortRead), 16, dir + L"/b.bin");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.log, std::vector<std::wstring>{LogCapture::Error(L"Failed to read data to restore.")});
        ASSERT_TRUE(r.content);
        EXPECT_EQ(*r.content, Bytes(content.begin(), content.begin() + 2 * 65536)) << "short " << shortRead;
    }
    EXPECT_EQ(FolderEntries(dir), std::vector<std::wstring>{L"b.bin"});
}

TEST(RestoreFile, DestinationFailuresAreLoggedWithThePath) {
    VolumeImage image;
    image.AddFile(16, DeletedFile(L"c.bin", Pattern(70000, 9), true));
    auto source = MemorySource(image.Build());

    const std::wstring nowhere = ScratchFolder("destfail") + L"/missing-folder/c.bin";
    Restored r = Restore(source, 16, nowhere);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, std::vector<std::wstring>{LogCapture::Error(L"Failed to create file: " + nowhere + L".")});

    // A device that takes no data: every write fails as on a full disk.
    // (Never through Restore(), which removes the destination first.)
    if (auto probe = WritableFile::CreateAlways(L"/dev/full", nullptr)) {
        probe.reset();
        LogCapture capture;
        EXPECT_FALSE(RestoreFile(source, 16, L"/dev/full"));
        std::vector<std::wstring> log = capture.Lines();
        std::erase(log, LogCapture::Info(L"NTFS volume version is: 3.1. "));
#ifdef _WIN32
        const std::wstring reason;
#else
        const std::wstring reason = L" (No space left on device)";  // the system's own words
#endif
        EXPECT_EQ(log, std::vector<std::wstring>{LogCapture::Error(L"Disk is full: /dev/full" + reason)});
    } else {
        ADD_FAILURE() << "no /dev/full to write to";
    }

    EXPECT_FALSE(RestoreFile(source, 16, L""));
    EXPECT_FALSE(RestoreFile(VolumeSource(), 16, nowhere));
    EXPECT_FALSE(RestoreFile(VolumeSource::FromText(L""), 16, nowhere));
}

TEST(CreateUniqueFile, NumbersFromZeroWhileTaken) {
    const std::wstring dir = ScratchFolder("unique");
    for (const wchar_t* name : {L"a.txt", L"a_0.txt", L"a_1.txt", L"a.b.txt", L"a.b_0.txt", L"README", L"README_0.", L"x_y.z"})
        RemoveIfThere(dir + L"\\" + name);
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder) << error;
    const std::wstring out = JoinPath(dir, L"");  // the folder as the engine writes it back
    auto create = [&](const std::wstring& name) {
        std::wstring path;
        std::unique_ptr<WritableFile> file = CreateUniqueFile(*folder, name, &path);
        EXPECT_TRUE(file) << WideToUtf8(name);
        return path;
    };
    EXPECT_EQ(create(L"a.txt"), out + L"a.txt");
    EXPECT_EQ(create(L"a.txt"), out + L"a_0.txt");
    EXPECT_EQ(create(L"a.txt"), out + L"a_1.txt");
    EXPECT_EQ(create(L"a.b.txt"), out + L"a.b.txt");
    EXPECT_EQ(create(L"a.b.txt"), out + L"a.b_0.txt");
    EXPECT_EQ(create(L"README"), out + L"README");
    EXPECT_EQ(create(L"README"), out + L"README_0.");
    EXPECT_EQ(create(L"x:y.z"), out + L"x_y.z");  // a name the file system refuses
    RemoveIfThere(dir + L"/a_0.txt");
    EXPECT_EQ(create(L"a.txt"), out + L"a_0.txt");  // the lowest free number
}

TEST(RestoreFile, SaysHowMuchAFileThatStoppedHoldsAndNeverFollowsWhatItFinds) {
    VolumeImage image;
    const Bytes content = Pattern(3 * 65536 + 10, 10);
    image.AddFile(16, DeletedFile(L"big.bin", content, true));
    auto source = MemorySource(image.Build());
    const std::wstring dir = ScratchFolder("outcome");
    for (const wchar_t* name : {L"big.bin", L"big_0.bin", L"big_1.bin"}) RemoveIfThere(dir + L"/" + name);
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder) << error;

    RestoreOutcome whole = RestoreFileInto(source, 16, *folder, L"big.bin");
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.dest, JoinPath(dir, L"big.bin"));
    EXPECT_EQ(whole.written, content.size());
    EXPECT_EQ(whole.size, content.size());

    // Stopped before the first read: the file was made, holds nothing and says so.
    std::atomic<bool> stop{true};
    RestoreOutcome stopped = RestoreFileInto(source, 16, *folder, L"big.bin", &stop);
    EXPECT_FALSE(stopped.ok);
    EXPECT_TRUE(stopped.interrupted);
    EXPECT_EQ(stopped.dest, JoinPath(dir, L"big_0.bin"));
    EXPECT_EQ(stopped.written, 0u);
    EXPECT_EQ(stopped.size, content.size());
    EXPECT_EQ(ReadFile(dir + L"/big_0.bin"), Bytes{});
    EXPECT_EQ(ReadFile(dir + L"/big.bin"), content);  // the first copy is never touched again

    // A folder of the file's name is no place to write: the next free name is.
    error = 0;
    ASSERT_TRUE(folder->OpenChild(L"big_1.bin", &error)) << error;
    EXPECT_EQ(RestoreFileInto(source, 16, *folder, L"big.bin").dest, JoinPath(dir, L"big_2.bin"));
    RemoveIfThere(dir + L"/big_2.bin");
}

TEST(RestoreFile, OneOpenServesEveryRestoreAndNothingChangedOrDamagedIsOk) {
    VolumeImage image;
    const Bytes content = Pattern(2 * 65536, 11);
    image.AddFile(16, DeletedFile(L"kept.bin", content, true));
    FileEntry live = DeletedFile(L"live.txt", Pattern(100, 12));
    live.deleted = false;
    image.AddFile(17, live);
    auto bytes = image.Build();
    auto at = std::search(bytes->begin() + 4096, bytes->end(), content.begin(), content.begin() + 4096);
    ASSERT_NE(at, bytes->end());
    FaultPlan plan;  // the chunk holding the file's second 64 KiB failed its checksum
    plan.damaged = {{static_cast<uint64_t>(at - bytes->begin()) + 65536, 32768}};
    auto opens = std::make_shared<int>(0);
    VolumeSource source = VolumeSource::FromDevice(
        [bytes, plan, opens] {
            ++*opens;
            return std::make_unique<FaultDevice>(OpenImage(bytes), plan);
        },
        L"R:\\");
    const std::wstring dir = ScratchFolder("changed");
    for (const wchar_t* name : {L"kept.bin", L"kept_0.bin", L"x.bin"}) RemoveIfThere(dir + L"/" + name);
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder) << error;

    // Every byte read, but 32 KiB of them from a damaged chunk: kept, and not ok.
    RestoreOutcome damaged = RestoreFileInto(source, 16, *folder, L"kept.bin");
    EXPECT_FALSE(damaged.ok);
    EXPECT_EQ(damaged.written, content.size());
    EXPECT_EQ(damaged.damagedBytes, 32768u);
    EXPECT_EQ(ReadFile(dir + L"/kept.bin"), content);

    // The record no longer holds the file found: nothing is made, and the change is named.
    RestoreChoices found;
    found.sequence = 0x4242;
    RestoreOutcome reused = RestoreFileInto(source, 16, *folder, L"x.bin", nullptr, found);
    EXPECT_EQ(reused.change, RecordChange::Reused);
    RestoreOutcome inUse = RestoreFileInto(source, 17, *folder, L"x.bin");
    EXPECT_EQ(inUse.change, RecordChange::InUse);
    RestoreOutcome unreadable = RestoreFileInto(source, 900, *folder, L"x.bin");
    EXPECT_EQ(unreadable.change, RecordChange::Unreadable);
    EXPECT_FALSE(FileExists(dir + L"/x.bin"));
    EXPECT_EQ(*opens, 1);
}

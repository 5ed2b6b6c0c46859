#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

// Sparse runs, and compression units with nothing stored, are holes in the file made: never read,
// never stored, and the file still reads back byte for byte.
TEST(RestoreFile, HolesStayHoles) {
    VolumeImage image;
    constexpr uint64_t kTiB = uint64_t{1} << 40;
    RecordLayout allHole;
    allHole.flags = 0;
    allHole.attrs = {StandardInfoAttr(0, 0, 0, 0x200), FileNameAttr(5, L"disk.vhd"),
                     NonResidentAttr(0x80, {{-1, kTiB / 4096}}, 4096, kTiB)};
    image.SetRecord(16, allHole);
    // Data, a hole, data and a hole at the end, which only the file's length holds.
    const Bytes head = Pattern(4 * 4096, 11), body = Pattern(4 * 4096 - 100, 12);
    std::vector<QuorretTest::Run> runs = image.PlaceData(head);
    runs.push_back({-1, 2});
    for (const QuorretTest::Run& run : image.PlaceData(body)) runs.push_back(run);
    runs.push_back({-1, 6});
    RecordLayout mixed = allHole;
    mixed.attrs = {StandardInfoAttr(0, 0, 0, 0x200), FileNameAttr(5, L"mixed.db"),
                   NonResidentAttr(0x80, runs, 4096, 16 * 4096 - 100)};
    image.SetRecord(17, mixed);
    // Compressed in 16-cluster units: one stored whole, one with nothing stored, one stored whole.
    const Bytes unit = Pattern(16 * 4096, 13);
    runs = image.PlaceData(unit);
    runs.push_back({-1, 16});
    for (const QuorretTest::Run& run : image.PlaceData(unit)) runs.push_back(run);
    RecordLayout compressed = allHole;
    compressed.attrs = {StandardInfoAttr(0, 0, 0, 0x800), FileNameAttr(5, L"packed.bin"),
                        NonResidentAttr(0x80, runs, 4096, 48 * 4096, 0, L"", 0x0001, 4)};
    image.SetRecord(18, compressed);
    auto source = MemorySource(image.Build());
    const std::wstring dir = ScratchFolder("holes");
    for (const wchar_t* name : {L"disk.vhd", L"mixed.db", L"packed.bin"}) RemoveIfThere(dir + L"/" + name);
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder) << error;

    RestoreOutcome huge = RestoreFileInto(source, 16, *folder, L"disk.vhd");
    EXPECT_TRUE(huge.ok);
    EXPECT_EQ(huge.written, kTiB);
    EXPECT_EQ(huge.holes, kTiB);
    uint64_t size = 0;
    EXPECT_TRUE(QueryFileSize(dir + L"/disk.vhd", &size, &error));
    EXPECT_EQ(size, kTiB);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat((WideToUtf8(dir) + "/disk.vhd").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 1 << 20) << "the hole was written out";
#endif
    RemoveIfThere(dir + L"/disk.vhd");

    RestoreOutcome part = RestoreFileInto(source, 17, *folder, L"mixed.db");
    EXPECT_TRUE(part.ok);
    EXPECT_EQ(part.holes, 2 * 4096u + 6 * 4096u - 100);
    Bytes expected = head;
    expected.resize(6 * 4096);
    expected.insert(expected.end(), body.begin(), body.end());
    expected.resize(16 * 4096 - 100);
    EXPECT_EQ(ReadFile(dir + L"/mixed.db"), expected);

    RestoreOutcome packed = RestoreFileInto(source, 18, *folder, L"packed.bin");
    EXPECT_TRUE(packed.ok);
    EXPECT_EQ(packed.holes, 16 * 4096u);
    expected = unit;
    expected.resize(32 * 4096);
    expected.insert(expected.end(), unit.begin(), unit.end());
    EXPECT_EQ(ReadFile(dir + L"/packed.bin"), expected);
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
    auto faulty = [&](uint64_t fault, bool shortRead) {
        return VolumeSource::FromDevice(
            [bytes, dataStart, fault, shortRead] {
                FaultPlan plan;
                plan.rangeBegin = dataStart + fault;
                plan.rangeEnd = plan.rangeBegin + 1;
                plan.rangeShort = shortRead;
                return std::make_unique<FaultDevice>(OpenImage(bytes), plan);
            },
            L"R:\\");
    };
    const std::wstring dir = ScratchFolder("readfail");
    // Every byte a short read delivered stays, up to the fault; a device that fails every read
    // across the fault (as a drive does past its end) gives, piece by smaller piece, the whole
    // clusters before it.
    const struct {
        uint64_t fault;  // inside the file's third 64 KiB piece
        bool shortRead;
        size_t kept;
    } cases[] = {{2 * 65536 + 100, true, 2 * 65536 + 100},
                 {2 * 65536 + 100, false, 2 * 65536},
                 {2 * 65536 + 3 * 4096 + 100, false, 2 * 65536 + 3 * 4096}};
    for (const auto& c : cases) {
        Restored r = Restore(faulty(c.fault, c.shortRead), 16, dir + L"/b.bin");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.log, std::vector<std::wstring>{LogCapture::Error(L"Failed to read data to restore.")});
        ASSERT_TRUE(r.content);
        EXPECT_EQ(*r.content, Bytes(content.begin(), content.begin() + c.kept)) << c.fault << " short " << c.shortRead;
    }
    EXPECT_EQ(FolderEntries(dir), std::vector<std::wstring>{L"b.bin"});
}

// One rule for a file that fails, in every front end: nothing stays of one that got none of its
// bytes (stopped or not), one that got some stays and says how much; either says why. Device
// names are files too.
TEST(RestoreFile, FailuresSayWhyKeepOnlyFilesHoldingBytesAndDeviceNamesAreFiles) {
    VolumeImage image;
    const Bytes content = Pattern(5 * 65536, 12);
    image.AddFile(16, DeletedFile(L"long.bin", content, true));
    image.AddFile(17, DeletedFile(L"nul", Pattern(300, 13)));
    image.AddFile(18, DeletedFile(L"CON.txt", Pattern(400, 14)));
    image.AddFile(19, DeletedFile(L"Com1 .tar.gz", Pattern(500, 15)));
    auto bytes = image.Build();
    auto at = std::search(bytes->begin() + 4096, bytes->end(), content.begin(), content.begin() + 4096);
    ASSERT_NE(at, bytes->end());
    const uint64_t dataStart = static_cast<uint64_t>(at - bytes->begin());
    auto failingAt = [&](uint64_t offset) {
        return VolumeSource::FromDevice(
            [bytes, offset] {
                FaultPlan plan;
                plan.rangeBegin = offset;
                plan.rangeEnd = offset + 1;
                return std::make_unique<FaultDevice>(OpenImage(bytes), plan);
            },
            L"R:\\");
    };
    std::filesystem::remove_all(std::string(QUORRET_BINARY_DIR) + "/restore-test/failure-rule");
    const std::wstring dir = ScratchFolder("failure-rule");
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder);
    LogCapture quiet;

    RestoreOutcome partial = RestoreFileInto(failingAt(dataStart + 2 * 65536 + 100), 16, *folder, L"part.bin");
    RemoveEmptyFailure(partial);
    EXPECT_FALSE(partial.ok);
    EXPECT_EQ(partial.reason, L"Read error on the volume");
    EXPECT_EQ(PartialText(partial), L"131072 of 327680 bytes kept");
    EXPECT_EQ(ReadFile(NativePathText(partial.dest)), Bytes(content.begin(), content.begin() + 2 * 65536));

    RestoreOutcome empty = RestoreFileInto(failingAt(dataStart + 100), 16, *folder, L"empty.bin");
    const std::wstring made = empty.dest;
    RemoveEmptyFailure(empty);
    EXPECT_EQ(empty.reason, L"Read error on the volume");
    EXPECT_TRUE(empty.dest.empty());
    EXPECT_EQ(PartialText(empty), L"");
    EXPECT_FALSE(made.empty() || FileExists(made));
    // A stop before the first byte leaves nothing either.
    std::atomic<bool> stop{true};
    RestoreOutcome stopped = RestoreFileInto(MemorySource(bytes), 16, *folder, L"stopped.bin", &stop);
    const std::wstring madeStopped = stopped.dest;
    RemoveEmptyFailure(stopped);
    EXPECT_TRUE(stopped.interrupted);
    EXPECT_TRUE(stopped.dest.empty());
    EXPECT_FALSE(madeStopped.empty() || FileExists(madeStopped));

    RestoreOutcome onto = RestoreFileOnto(MemorySource(bytes), 16, dir + L"/missing-folder/x.bin");
    // Windows says the folder is missing, POSIX systems the file.
    EXPECT_TRUE(onto.reason == L"Path not found" || onto.reason == L"File not found") << WideToUtf8(onto.reason);

    const auto source = MemorySource(bytes);
    const struct {
        uint64_t record;
        const wchar_t* stored;
        const wchar_t* made;
        Bytes content;
    } devices[] = {{17, L"nul", L"nul_", Pattern(300, 13)},
                   {18, L"CON.txt", L"CON_.txt", Pattern(400, 14)},
                   {19, L"Com1 .tar.gz", L"Com1 _.tar.gz", Pattern(500, 15)}};
    for (const auto& device : devices) {
        RestoreOutcome outcome = RestoreFileInto(source, device.record, *folder, device.stored);
        EXPECT_TRUE(outcome.ok) << device.record;
        EXPECT_EQ(outcome.dest, JoinPath(dir, device.made));
        EXPECT_EQ(ReadFile(NativePathText(outcome.dest)), device.content);
    }
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
    for (const wchar_t* name : {L"a.txt", L"a_0.txt", L"a_1.txt", L"a.b.txt", L"a.b_0.txt", L"README", L"README_0", L".bashrc", L".bashrc_0", L"x_y.z"})
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
    EXPECT_EQ(create(L"README"), out + L"README_0");
    EXPECT_EQ(create(L".bashrc"), out + L".bashrc");
    EXPECT_EQ(create(L".bashrc"), out + L".bashrc_0");
    EXPECT_EQ(create(L"x:y.z"), out + L"x_y.z");  // a name the file system refuses
    RemoveIfThere(dir + L"/a_0.txt");
    EXPECT_EQ(create(L"a.txt"), out + L"a_0.txt");  // the lowest free number
}

// NTFS names may be 255 UTF-16 units, which Linux file systems cannot hold in 255 UTF-8 bytes.
TEST(CreateUniqueFile, CutsNamesTheDestinationCannotHoldAndKeepsThemApart) {
    const std::wstring dir = ScratchFolder("longnames");
    uint32_t error = 0;
    std::unique_ptr<Folder> folder = Folder::Open(dir, &error);
    ASSERT_TRUE(folder) << error;
    std::wstring emoji;
    for (int i = 0; i < 127; ++i) emoji += L"\U0001F600";
    const std::wstring cyrillic(250, L'\x0436');  // with one more letter and ".txt": 255 units
    const std::wstring names[] = {cyrillic + L"\x0436.txt", cyrillic + L"\x0437.txt", cyrillic + L"\x0436\x0436\x0436\x0436\x0436", emoji};
    std::vector<std::wstring> made;
    for (const std::wstring& name : names) {
        for (int copy = 0; copy < 2; ++copy) {
            std::wstring path;
            std::unique_ptr<WritableFile> file = CreateUniqueFile(*folder, name, &path);
            ASSERT_TRUE(file) << WideToUtf8(path);
            const std::wstring part = GetFileNamePart(path);
            EXPECT_LE(NativeNameLength(part), kMaxNativeNameLength);
            EXPECT_EQ(GetFileExtension(part), GetFileExtension(name));
            EXPECT_EQ(part.substr(0, 20), name.substr(0, 20));
            for (size_t i = 0; i + 1 < part.size(); ++i)  // never half of a surrogate pair
                EXPECT_FALSE(part[i] >= 0xD800 && part[i] <= 0xDBFF && !(part[i + 1] >= 0xDC00 && part[i + 1] <= 0xDFFF));
            EXPECT_EQ(std::count(made.begin(), made.end(), path), 0) << WideToUtf8(path);
            made.push_back(path);
        }
    }
    // A cut name's copy carries the same mark, taken from the whole name, with its number (a
    // destination that holds 255 UTF-16 units cuts none of the Cyrillic names).
    const std::wstring first = GetFileNamePart(made[2]);
    if (first == names[1])
        EXPECT_EQ(GetFileNamePart(made[3]), NumberedName(names[1], 0));
    else
        EXPECT_NE(GetFileNamePart(made[3]).find(first.substr(first.rfind(L'~'), 9) + L"_0.txt"), std::wstring::npos);
    for (const std::wstring& path : made) RemoveIfThere(path);
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

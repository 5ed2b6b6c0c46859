// Every input a fuzz target ever crashed on, replayed through the same target, and the crashes
// found so far restated as plain cases on synthetic volumes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "fuzz/harness/FuzzTargets.h"
#include "ntfs/NTFSAttributeFileName.h"
#include "ntfs/NTFSAttributeList.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/PathNames.h"
#include "tests/support/VolumeImage.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

using Target = int (*)(const uint8_t*, size_t);

struct Replay {
    const char* folder;
    Target target;
};

const Replay kReplays[] = {
    {"fuzz_volume", QuorretFuzz::FuzzVolumeStartup}, {"fuzz_record", QuorretFuzz::FuzzFileRecord},
    {"fuzz_runlist", QuorretFuzz::FuzzDataRuns},     {"fuzz_attrlist", QuorretFuzz::FuzzAttributeList},
    {"fuzz_lznt1", QuorretFuzz::FuzzLznt1},          {"fuzz_scan", QuorretFuzz::FuzzScanRestore},
    {"fuzz_text", QuorretFuzz::FuzzTextUtils},       {"fuzz_recycle", QuorretFuzz::FuzzRecycleBinIndex},
    {"fuzz_shadow", QuorretFuzz::FuzzShadowCopies},   {"fuzz_deep", QuorretFuzz::FuzzDeepScan},
    {"fuzz_slack", QuorretFuzz::FuzzSlackNames},     {"fuzz_usn", QuorretFuzz::FuzzUsnRecords},
};

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<NTFSVolume> Open(const VolumeImage& image) {
    return std::make_unique<NTFSVolume>(OpenImage(image.Build()), L"\\");
}

std::wstring Name(NTFSFileRecord& record) {
    wchar_t buffer[261];
    int n = record.GetFileName(buffer, 260);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace

// A crash comes back as a sanitizer report or an abort, which ends this test with a failure.
TEST(Regression, EveryCommittedFuzzInputRunsClean) {
    const std::filesystem::path root = std::filesystem::path(QUORRET_SOURCE_DIR) / "fuzz" / "regressions";
    int replayed = 0;
    for (const Replay& replay : kReplays) {
        const std::filesystem::path folder = root / replay.folder;
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            std::vector<uint8_t> input = ReadAll(entry.path());
            EXPECT_EQ(replay.target(input.data(), input.size()), 0);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

// Types 0x31 to 0x3F share the $FILE_NAME list; such an attribute used to be built as a plain
// resident attribute there, and the name queries read it as a file name (type confusion). They
// are no attributes we know and are stepped over.
TEST(Regression, AttributeTypesBetweenMultiplesOf0x10AreSteppedOver) {
    VolumeImage image;
    Bytes odd = FileNameAttr(5, L"odd.txt");
    odd[0] = 0x35;
    Bytes info = StandardInfoAttr(1, 2, 3, 0x800);
    info[0] = 0x1F;
    RecordLayout layout;
    layout.flags = 0;
    layout.attrs = {info, odd, ResidentAttr(0x3A, Bytes{1, 2, 3}), FileNameAttr(7, L"real.txt")};
    image.SetRecord(20, layout);
    auto volume = Open(image);
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(kNTFSMaskFileName);
    ASSERT_TRUE(record.ReadFileRecord(20));
    ASSERT_TRUE(record.ParseAttrs());
    EXPECT_EQ(record.FindFirstAttr(0x10), nullptr);
    EXPECT_FALSE(record.IsCompressed());
    ASSERT_NE(record.FindFirstAttr(0x30), nullptr);
    EXPECT_EQ(record.FindNextAttr(0x30), nullptr);
    EXPECT_EQ(Name(record), L"real.txt");
    EXPECT_EQ(record.GetParentRef(), 7u);
}

// An entry of type 0x25 falls in the $ATTRIBUTE_LIST list: following it built the extension
// record's own list, which named the base record again, and so on until the stack ran out.
TEST(Regression, ListEntriesInTheListRangeAreNotFollowed) {
    VolumeImage image;
    RecordLayout base;
    base.flags = 0;
    base.baseRef = 21;
    base.attrs = {StandardInfoAttr(1, 2, 3), AttributeListAttr({{0x25, 21}, {0x30, 21}}), FileNameAttr(5, L"own.txt")};
    RecordLayout extension;
    extension.baseRef = 20;
    extension.attrs = {AttributeListAttr({{0x25, 20}}), FileNameAttr(5, L"moved.txt")};
    image.SetRecord(20, base);
    image.SetRecord(21, extension);
    auto volume = Open(image);
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(kNTFSMaskFileName);
    ASSERT_TRUE(record.ReadFileRecord(20));
    ASSERT_TRUE(record.ParseAttrs());
    // The $FILE_NAME entry is still followed: the moved name comes first.
    EXPECT_EQ(Name(record), L"moved.txt");
    auto* list = dynamic_cast<NTFSAttributeList<NTFSAttributeResident>*>(record.FindFirstAttr(0x20));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetExtensionRecords().GetCount(), 1);
}

// A damaged $MFT data size (2^40 bytes) made the scan walk a billion records that are not there;
// only the records the $MFT's runs hold count.
TEST(Regression, RecordCountStopsAtTheClustersTheMftHolds) {
    VolumeImage image;
    Bytes zero = image.EncodeRecord(0);
    ByteReader record(zero.data(), zero.size());
    size_t at = record.U16(0x14).value_or(0);
    while (record.U32(at).value_or(0x80) != 0x80) at += record.U32(at + 4).value_or(0);
    ASSERT_EQ(record.U8(at + 8).value_or(0), 1) << "the $MFT's $DATA is non-resident";
    for (int i = 0; i < 8; ++i) zero[at + 0x30 + i] = static_cast<uint8_t>((uint64_t{1} << 40) >> (8 * i));
    image.SetRawRecord(0, zero);
    auto volume = Open(image);
    ASSERT_TRUE(volume->IsVolumeOK());
    ASSERT_EQ(volume->GetMFTData()->GetDataSize(), uint64_t{1} << 40);
    EXPECT_EQ(volume->GetRecordsCount(), image.GetGeometry().records);
}

// The same with a run length damaged as well, or a run far outside the volume, or a hole of 2^40
// clusters before the last run: the count never passes what the volume has room for.
TEST(Regression, RecordCountStopsAtTheVolumesEnd) {
    const uint64_t huge = uint64_t{1} << 40;
    const VolumeImage::Geometry g;
    const uint64_t mftClusters = g.records * g.recordSize / g.clusterSize;
    const int64_t mftLcn = static_cast<int64_t>(g.mftCluster);
    struct Case {
        const char* what;
        std::vector<QuorretTest::Run> runs;
        uint64_t most;  // 0: the volume's clusters past the MFT's start, in records
    };
    const Case cases[] = {
        {"run of 2^40 clusters", {{mftLcn, huge}}, 0},
        {"second run past the volume", {{mftLcn, mftClusters}, {static_cast<int64_t>(huge), huge}}, g.records},
        {"hole of 2^40 clusters", {{mftLcn, mftClusters}, {-1, huge}, {mftLcn + 2, 1}}, 0},
    };
    for (const Case& c : cases) {
        VolumeImage image;
        RecordLayout mft;
        mft.attrs = {StandardInfoAttr(0, 0, 0, 0x6), FileNameAttr(5, L"$MFT"),
                     NonResidentAttr(0x80, c.runs, g.clusterSize, huge * g.clusterSize)};
        image.SetRecord(0, mft);
        const uint64_t volumeClusters = image.Build()->size() / g.clusterSize;
        auto volume = Open(image);
        ASSERT_TRUE(volume->IsVolumeOK()) << c.what;
        const uint64_t most = c.most ? c.most : volumeClusters * (g.clusterSize / g.recordSize);
        EXPECT_GE(volume->GetRecordsCount(), g.records) << c.what;
        EXPECT_LE(volume->GetRecordsCount(), most) << c.what;
    }
}

// A found file's name comes from the volume: restored into a folder, "..", "." or a name holding
// separators used to be joined as a path and led outside the folder.
TEST(Regression, StoredNamesNeverLeadOutOfTheRestoreFolder) {
    const std::filesystem::path scratch = QuorretFuzz::MakeScratchFolder("quorret-names");
    const std::wstring folder = QuorretFuzz::EnginePath(scratch / "out");
    std::filesystem::create_directory(scratch / "out");
    for (const std::wstring name : {L"..", L".", L"...", L"..\\..\\escape.txt", L"sub/x.txt", L"/", L"\\\\node\\share",
                                    L"C:x", L"C:\\x", L"a:b", L" "}) {
        const std::wstring dest = QuorretFuzz::DestinationFor(folder, name);
        EXPECT_TRUE(QuorretFuzz::IsDirectlyInside(folder, dest)) << WideToUtf8(name) << " -> " << WideToUtf8(dest);
    }
    EXPECT_EQ(SafeFileName(L".."), L"__");
    EXPECT_EQ(SafeFileName(L"."), L"_");
    EXPECT_EQ(SafeFileName(L""), L"_");
    EXPECT_EQ(SafeFileName(L"a.b.txt"), L"a.b.txt");
    EXPECT_EQ(SafeFileName(L"..\\x"), L".._x");
    // A NUL ends the path the system sees: "\0x.txt" in the folder named the folder itself, and
    // the search for a free name never ended.
    const std::wstring nul(L"\0eleted.txt", 11);
    const std::wstring dest = QuorretFuzz::DestinationFor(folder, nul);
    EXPECT_TRUE(QuorretFuzz::IsDirectlyInside(folder, dest)) << WideToUtf8(dest);
    EXPECT_EQ(dest.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(SafeFileName(std::wstring(L"a\0b\x1f", 4)), L"a_b_");
    std::filesystem::remove_all(scratch);
}

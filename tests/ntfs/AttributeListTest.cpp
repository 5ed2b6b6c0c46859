// Attribute lists: extension records taken into their base record, and streams whose run list
// continues in further attribute records (the $MFT's own included).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <tuple>

#include "ntfs/NTFSAttributeFileName.h"
#include "ntfs/NTFSAttributeList.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

FileEntry File(const std::wstring& name) {
    FileEntry f;
    f.name = name;
    return f;
}

constexpr uint64_t kBase = 20;
constexpr uint64_t kExtension = 21;

std::vector<std::wstring> Names(NTFSFileRecord& record) {
    std::vector<std::wstring> names;
    for (auto* attr = record.FindFirstAttr(0x30); attr; attr = record.FindNextAttr(0x30)) {
        wchar_t buffer[261];
        int n = static_cast<NTFSAttributeFileName*>(attr)->GetFileName(buffer, 260);
        names.push_back(n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : L"");
    }
    return names;
}

int ExtensionRecordsLoaded(NTFSFileRecord& record) {
    auto* attr = record.FindFirstAttr(0x20);
    if (!attr) return -1;
    if (attr->IsNonResident())
        return static_cast<NTFSAttributeList<NTFSAttributeNonResident>*>(attr)->GetExtensionRecords().GetCount();
    return static_cast<NTFSAttributeList<NTFSAttributeResident>*>(attr)->GetExtensionRecords().GetCount();
}

// Base record 20 with an attribute list, its own $FILE_NAME "base" and $DATA, and extension
// record 21 holding the $FILE_NAME "extension".
struct Listed {
    VolumeImage image;
    std::unique_ptr<NTFSVolume> volume;
    std::unique_ptr<NTFSFileRecord> record;

    void Build(const Bytes& list, uint64_t extensionBase = kBase) {
        RecordLayout base;
        base.attrs = {StandardInfoAttr(1, 2, 3), list, FileNameAttr(5, L"base"), ResidentAttr(0x80, Bytes(12, 7))};
        image.SetRecord(kBase, base);
        RecordLayout extension;
        extension.baseRef = extensionBase;
        extension.attrs = {FileNameAttr(5, L"extension")};
        image.SetRecord(kExtension, extension);
        volume = OpenVolume(image);
        record = std::make_unique<NTFSFileRecord>(volume.get());
    }
    bool Parse(uint32_t mask) {
        record->SetAttrMask(mask);
        return record->ReadFileRecord(kBase) && record->ParseAttrs();
    }
};

Bytes ListValue(const Bytes& residentList) {
    uint32_t length = residentList[0x10] | residentList[0x11] << 8;
    return Bytes(residentList.begin() + 0x18, residentList.begin() + 0x18 + length);
}

}  // namespace

TEST(AttributeList, ExtensionNamesComeFirstAndOnlySelectedTypesAreFetched) {
    Listed l;
    l.Build(AttributeListAttr({{0x10, kBase}, {0x30, kBase}, {0x30, kExtension}, {0x80, kBase}}));
    ASSERT_TRUE(l.Parse(4));
    EXPECT_EQ(Names(*l.record), (std::vector<std::wstring>{L"extension", L"base"}));
    EXPECT_EQ(ExtensionRecordsLoaded(*l.record), 1);
    ASSERT_TRUE(l.Parse(0x80));
    EXPECT_EQ(ExtensionRecordsLoaded(*l.record), 0);
    EXPECT_TRUE(Names(*l.record).empty());
    ASSERT_NE(l.record->FindStream(), nullptr);
}

TEST(AttributeList, ListKeptInClusters) {
    Listed l;
    Bytes value = ListValue(AttributeListAttr({{0x30, kBase}, {0x30, kExtension}}));
    l.Build(NonResidentAttr(0x20, l.image.PlaceData(value), 4096, value.size()));
    ASSERT_TRUE(l.Parse(4));
    EXPECT_EQ(Names(*l.record), (std::vector<std::wstring>{L"extension", L"base"}));
}

TEST(AttributeList, ExpansionEnds) {
    struct Case {
        const char* what;
        Bytes list;
        std::vector<std::wstring> names;
    };
    Bytes zeroLength = AttributeListAttr({{0x30, kExtension}, {0x30, kExtension}});
    PutLE(zeroLength, 0x18 + 0x04, 0, 2);
    Bytes overlong = AttributeListAttr({{0x30, kExtension}});
    PutLE(overlong, 0x18 + 0x04, 0x1000, 2);
    Case cases[] = {
        {"unreadable record", AttributeListAttr({{0x30, 1000000}, {0x30, kExtension}}), {L"base"}},
        {"type above 0x10F", AttributeListAttr({{0x120, kExtension}, {0x30, kExtension}}), {L"base"}},
        {"zero length", zeroLength, {L"base"}},
        {"overlong", overlong, {L"base"}},
        {"owner skipped", AttributeListAttr({{0x30, kBase}, {0x30, kExtension}}), {L"extension", L"base"}},
        {"list naming a list", AttributeListAttr({{0x20, kExtension}, {0x30, kExtension}}), {L"extension", L"base"}},
        {"named twice", AttributeListAttr({{0x30, kExtension}, {0x30, kExtension}}),
         {L"extension", L"extension", L"base"}},
    };
    for (const Case& c : cases) {
        Listed l;
        l.Build(c.list);
        EXPECT_TRUE(l.Parse(4)) << c.what;
        EXPECT_EQ(Names(*l.record), c.names) << c.what;
    }
}

TEST(AttributeList, ExtensionRecordOfAnotherFileIsNotTaken) {
    Listed l;
    l.Build(AttributeListAttr({{0x30, kExtension}}), 30);
    ASSERT_TRUE(l.Parse(4));
    EXPECT_EQ(Names(*l.record), (std::vector<std::wstring>{L"base"}));
}

TEST(AttributeList, DeletedBaseRecordStillGathersItsExtension) {
    Listed l;
    RecordLayout base;
    base.flags = 0;  // not in use: what a deletion leaves
    base.attrs = {StandardInfoAttr(1, 2, 3), AttributeListAttr({{0x30, kExtension}}), FileNameAttr(5, L"base")};
    l.image.SetRecord(kBase, base);
    RecordLayout extension;
    extension.flags = 0;
    extension.baseRef = kBase;
    extension.attrs = {FileNameAttr(5, L"gone.txt")};
    l.image.SetRecord(kExtension, extension);
    l.volume = OpenVolume(l.image);
    l.record = std::make_unique<NTFSFileRecord>(l.volume.get());
    ASSERT_TRUE(l.Parse(4));
    EXPECT_TRUE(l.record->IsDeleted());
    EXPECT_EQ(Names(*l.record), (std::vector<std::wstring>{L"gone.txt", L"base"}));
}

namespace {

// Record 20's unnamed $DATA: VCNs 0-1 in the base record, 2-3 in extension record 21.
struct SplitStream {
    VolumeImage image;
    Bytes content = Pattern(4 * 4096 - 100, 11);
    std::unique_ptr<NTFSVolume> volume;
    std::unique_ptr<NTFSFileRecord> record;

    void Build(std::vector<ListEntry> entries, uint64_t extensionBase = kBase, uint64_t staleSize = 0) {
        Bytes head(content.begin(), content.begin() + 8192);
        Bytes tail(content.begin() + 8192, content.end());
        RecordLayout base;
        base.attrs = {StandardInfoAttr(1, 2, 3), AttributeListAttr(entries), FileNameAttr(5, L"split.bin"),
                      NonResidentAttr(0x80, image.PlaceData(head), 4096, content.size())};
        image.SetRecord(kBase, base);
        RecordLayout extension;
        extension.baseRef = extensionBase;
        Bytes piece = NonResidentAttr(0x80, image.PlaceData(tail), 4096, 0, 2);
        PutLE(piece, 0x30, staleSize, 8);
        PutLE(piece, 0x38, staleSize, 8);
        extension.attrs = {piece};
        image.SetRecord(kExtension, extension);
        volume = OpenVolume(image);
        record = std::make_unique<NTFSFileRecord>(volume.get());
        record->SetAttrMask(kNTFSMaskData);
        ASSERT_TRUE(record->ReadFileRecord(kBase));
        ASSERT_TRUE(record->ParseAttrs());
    }
    bool ReadWhole(Bytes* out) {
        NTFSAttributeBase* data = record->FindStream();
        if (!data) return false;
        out->assign(content.size() + 10, 0);
        uint32_t got = 0;
        return data->ReadData(0, out->data(), static_cast<uint32_t>(out->size()), &got) && got == content.size();
    }
};

int DataAttrs(NTFSFileRecord& record) {
    int n = 0;
    for (auto* a = record.FindFirstAttr(0x80); a; a = record.FindNextAttr(0x80)) ++n;
    return n;
}

// What The Sleuth Kit's icat reads as the unnamed $DATA of `record` of `image`, given the image
// as a file in the build tree; nothing when it cannot. icat is a program of the build host: only
// the native build runs it.
#ifndef _WIN32
std::optional<Bytes> Icat(const Bytes& image, uint64_t record, const std::string& name) {
    const std::string path = std::string(QUORRET_BINARY_DIR) + "/" + name + ".img";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    FILE* pipe = popen(("icat '" + path + "' " + std::to_string(record)).c_str(), "r");
    if (!pipe) return std::nullopt;
    Bytes out;
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) return std::nullopt;
    std::remove(path.c_str());
    return out;
}
#endif

}  // namespace

TEST(SplitStream, ReadAcrossExtensionRecords) {
    SplitStream s;
    // The piece from the extension record stands first in the list, with a stale size.
    s.Build({{0x80, kExtension, 2}, {0x80, kBase, 0}}, kBase, 999999);
    EXPECT_EQ(DataAttrs(*s.record), 1);
    EXPECT_EQ(s.record->FindStream()->GetDataSize(), s.content.size());
    Bytes out;
    ASSERT_TRUE(s.ReadWhole(&out));
    EXPECT_EQ(0, std::memcmp(out.data(), s.content.data(), s.content.size()));
    // Asked for after the names, the pieces in extension records are gathered all the same.
    s.record->SetAttrMask(kNTFSMaskFileName);
    ASSERT_TRUE(s.record->ParseAttrs());
    EXPECT_EQ(DataAttrs(*s.record), 0);
    ASSERT_TRUE(s.record->ParseMoreAttrs(kNTFSMaskData));
    EXPECT_EQ(DataAttrs(*s.record), 1);
    ASSERT_TRUE(s.ReadWhole(&out));
    EXPECT_EQ(0, std::memcmp(out.data(), s.content.data(), s.content.size()));

    // Six clusters in three records: VCNs 0-1 in the base record, 2-3 (two runs apart) in record
    // 22 and 4-5 in record 21; the list names record 21's piece before record 22's. The Sleuth
    // Kit reads the volume too.
    VolumeImage image;
    const Bytes content = Pattern(6 * 4096 - 300, 23);
    using Runs = std::vector<QuorretTest::Run>;
    auto place = [&](size_t firstCluster, size_t clusters) {
        auto from = content.begin() + static_cast<std::ptrdiff_t>(firstCluster * 4096);
        size_t bytes = std::min(clusters * 4096, content.size() - firstCluster * 4096);
        return image.PlaceData(Bytes(from, from + static_cast<std::ptrdiff_t>(bytes)));
    };
    Runs head = place(0, 2), tail = place(4, 2), middle = place(2, 1);
    image.AllocateClusters(3);
    middle.push_back(place(3, 1)[0]);
    const uint64_t kMiddle = 22;
    Bytes first = NonResidentAttr(0x80, head, 4096, content.size());
    PutLE(first, 0x28, 6 * 4096, 8);  // the first piece holds the whole stream's allocated size
    RecordLayout base;
    base.attrs = {StandardInfoAttr(1, 2, 3),
                  AttributeListAttr({{0x10, kBase}, {0x30, kBase}, {0x80, kBase, 0}, {0x80, kExtension, 4},
                                     {0x80, kMiddle, 2}}),
                  FileNameAttr(5, L"three.bin"), first};
    image.SetRecord(kBase, base);
    for (auto [number, runs, vcn] : {std::tuple{kExtension, tail, 4}, std::tuple{kMiddle, middle, 2}}) {
        RecordLayout extension;
        extension.baseRef = kBase;
        extension.attrs = {NonResidentAttr(0x80, runs, 4096, 0, static_cast<uint64_t>(vcn))};
        image.SetRecord(number, extension);
    }
    const std::shared_ptr<const Bytes> bytes = image.Build();
    auto volume = OpenVolume(bytes);
    NTFSFileRecord record(volume.get());
    record.SetAttrMask(kNTFSMaskData);
    ASSERT_TRUE(record.ReadFileRecord(kBase));
    ASSERT_TRUE(record.ParseAttrs());
    NTFSAttributeBase* data = record.FindStream();
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->GetDataSize(), content.size());
    Bytes ours(content.size());
    uint32_t got = 0;
    ASSERT_TRUE(data->ReadData(0, ours.data(), static_cast<uint32_t>(ours.size()), &got));
    ASSERT_EQ(got, content.size());
    EXPECT_TRUE(ours == content) << "the stream's clusters read out of VCN order";
#ifndef _WIN32
    std::optional<Bytes> icat = Icat(*bytes, kBase, "three-pieces");
    ASSERT_TRUE(icat) << "icat (The Sleuth Kit) could not read the volume";
    EXPECT_TRUE(*icat == ours) << "icat read " << icat->size() << " bytes, not ours";
#endif
}

TEST(SplitStream, RepeatedPiecesAreIgnored) {
    SplitStream s;
    s.Build({{0x80, kBase, 0}, {0x80, kExtension, 2}, {0x80, kExtension, 2}, {0x80, kExtension, 2}});
    EXPECT_EQ(DataAttrs(*s.record), 1);
    Bytes out;
    ASSERT_TRUE(s.ReadWhole(&out));
    EXPECT_EQ(0, std::memcmp(out.data(), s.content.data(), s.content.size()));
    auto* stream = static_cast<NTFSAttributeNonResident*>(s.record->FindStream());
    EXPECT_EQ(stream->GetDataRuns().size(), 2u);
}

TEST(SplitStream, PieceFromAnotherFilesRecordIsNotUsed) {
    SplitStream s;
    s.Build({{0x80, kBase, 0}, {0x80, kExtension, 2}}, 30);
    Bytes out;
    EXPECT_FALSE(s.ReadWhole(&out));
    // The base record's own clusters still read.
    uint32_t got = 0;
    ASSERT_TRUE(s.record->FindStream()->ReadData(0, out.data(), 8192, &got));
    EXPECT_EQ(got, 8192u);
}

TEST(SplitStream, TheMFTContinuedInAnExtensionRecord) {
    VolumeImage::Geometry g;
    g.records = 64;
    g.mftSplit = 8;  // clusters 0-7 of the MFT in one extent, 8-15 in another
    VolumeImage image(g);
    const uint64_t secondLcn = image.MftByteOnVolume(8 * 4096) / 4096;
    RecordLayout mft;
    mft.attrs = {StandardInfoAttr(0, 0, 0, 6), AttributeListAttr({{0x80, 0, 0}, {0x80, 15, 8}}),
                 FileNameAttr(5, L"$MFT"), NonResidentAttr(0x80, {{4, 8}}, 4096, 64 * 1024)};
    image.SetRecord(0, mft);
    RecordLayout extension;
    extension.baseRef = 0x0001000000000000ull;
    extension.attrs = {NonResidentAttr(0x80, {{static_cast<int64_t>(secondLcn), 8}}, 4096, 0, 8)};
    image.SetRecord(15, extension);
    image.AddFile(20, File(L"in the first piece"));
    image.AddFile(50, File(L"in the second piece"));
    auto volume = OpenVolume(image);
    ASSERT_TRUE(volume->IsVolumeOK());
    ASSERT_TRUE(volume->HasMFTData());
    EXPECT_EQ(volume->GetRecordsCount(), 64u);
    for (auto [number, name] : {std::pair<uint64_t, const wchar_t*>{20, L"in the first piece"},
                                {50, L"in the second piece"}}) {
        NTFSFileRecord record(volume.get());
        record.SetAttrMask(kNTFSMaskFileName);
        ASSERT_TRUE(record.ReadFileRecord(number)) << number;
        ASSERT_TRUE(record.ParseAttrs());
        wchar_t buffer[261];
        ASSERT_GT(record.GetFileName(buffer, 260), 0);
        EXPECT_EQ(std::wstring(buffer), name);
    }
}

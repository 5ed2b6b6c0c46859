// Run lists and reads of non-resident values: decoding, VCN to LCN, sparse runs, the initialized
// size, compressed units, and streams continued in further attribute records.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSLznt1.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

// A non-resident attribute header with the given run-list bytes and VCN range.
Bytes RunsAttr(const Bytes& runs, uint64_t startVcn, uint64_t lastVcn) {
    Bytes attr(0x40, 0);
    PutLE(attr, 0x00, 0x80, 4);
    PutLE(attr, 0x08, 1, 1);
    PutLE(attr, 0x0A, 0x40, 2);
    PutLE(attr, 0x10, startVcn, 8);
    PutLE(attr, 0x18, lastVcn, 8);
    PutLE(attr, 0x20, 0x40, 2);
    attr.insert(attr.end(), runs.begin(), runs.end());
    PutLE(attr, 0x04, attr.size(), 4);
    return attr;
}

std::vector<tagNTFSDataRunEntry> Runs(NTFSAttributeNonResident& attr) {
    return attr.GetDataRuns();
}

struct Decoded {
    std::vector<tagNTFSDataRunEntry> runs;
    bool ok;
};

Decoded Decode(const Bytes& runs, uint64_t lastVcn = 1000, uint64_t startVcn = 0) {
    Bytes bytes = RunsAttr(runs, startVcn, lastVcn);
    NTFSAttributeNonResident attr(ByteReader(bytes.data(), bytes.size()), nullptr);
    return {Runs(attr), attr.IsDataRunOK()};
}

void ExpectRun(const tagNTFSDataRunEntry& run, int64_t lcn, uint64_t clusters, uint64_t start, uint64_t last) {
    EXPECT_EQ(run.LCN, lcn);
    EXPECT_EQ(run.Clusters, clusters);
    EXPECT_EQ(run.StartVCN, start);
    EXPECT_EQ(run.LastVCN, last);
}

// A volume with one file (record 20) whose unnamed $DATA is the given attribute.
struct OneFile {
    VolumeImage image;
    std::unique_ptr<NTFSVolume> volume;
    std::unique_ptr<NTFSFileRecord> record;
    NTFSAttributeBase* data = nullptr;

    void Open(const Bytes& dataAttr) {
        RecordLayout layout;
        layout.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"file.bin"), dataAttr};
        image.SetRecord(20, layout);
        volume = OpenVolume(image);
        ASSERT_TRUE(volume->IsVolumeOK());
        record = std::make_unique<NTFSFileRecord>(volume.get());
        record->SetAttrMask(kNTFSMaskData);
        ASSERT_TRUE(record->ReadFileRecord(20));
        ASSERT_TRUE(record->ParseAttrs());
        data = record->FindStream();
        ASSERT_NE(data, nullptr);
    }
};

Bytes ReadAll(NTFSAttributeBase* data, uint32_t chunk = 65536) {
    Bytes out;
    uint64_t offset = 0;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        uint32_t got = 0;
        if (!data->ReadData(offset, buffer.data(), chunk, &got)) {
            ADD_FAILURE() << "read failed at " << offset;
            return out;
        }
        if (got == 0) return out;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
        offset += got;
    }
}

}  // namespace

TEST(DataRuns, DecodeOneRunAndASparseRun) {
    Decoded one = Decode({0x21, 0x18, 0x34, 0x56, 0x00});
    ASSERT_EQ(one.runs.size(), 1u);
    ExpectRun(one.runs[0], 0x5634, 24, 0, 23);
    EXPECT_TRUE(one.ok);

    Decoded two = Decode({0x11, 0x10, 0x40, 0x01, 0x10, 0x00});
    ASSERT_EQ(two.runs.size(), 2u);
    ExpectRun(two.runs[0], 0x40, 16, 0, 15);
    ExpectRun(two.runs[1], -1, 16, 16, 31);
}

TEST(DataRuns, NegativeOffsetMovesBack) {
    Decoded d = Decode({0x11, 0x10, 0x40, 0x11, 0x08, 0xFF, 0x00});
    ASSERT_EQ(d.runs.size(), 2u);
    ExpectRun(d.runs[1], 0x3F, 8, 16, 23);
}

TEST(DataRuns, OversizedNibbleOrTruncatedEntryEndsTheListKeepingEarlierRuns) {
    Decoded nibble = Decode({0x11, 0x10, 0x40, 0x19, 0x01, 0x02, 0x00});
    ASSERT_EQ(nibble.runs.size(), 1u);
    EXPECT_TRUE(nibble.ok);
    // The second entry announces four offset bytes but the attribute ends after two.
    Decoded truncated = Decode({0x11, 0x10, 0x40, 0x41, 0x05, 0x01, 0x02});
    ASSERT_EQ(truncated.runs.size(), 1u);
    EXPECT_TRUE(truncated.ok);
}

TEST(DataRuns, ZeroLengthRuns) {
    // A first run of length 0 gets LastVCN all ones: everything is dropped.
    Decoded first = Decode({0x11, 0x00, 0x40, 0x00});
    EXPECT_TRUE(first.runs.empty());
    EXPECT_FALSE(first.ok);
    // A later one stays but never holds a VCN.
    Decoded later = Decode({0x11, 0x10, 0x40, 0x11, 0x00, 0x05, 0x00});
    ASSERT_EQ(later.runs.size(), 2u);
    EXPECT_TRUE(later.ok);
    EXPECT_EQ(later.runs[1].Clusters, 0u);
    EXPECT_LT(later.runs[1].LastVCN, later.runs[1].StartVCN);
}

TEST(DataRuns, NegativeLcnOrRunPastTheHeaderRangeFails) {
    Decoded negative = Decode({0x11, 0x10, 0x40, 0x11, 0x10, 0x80, 0x00});
    EXPECT_FALSE(negative.ok);
    EXPECT_EQ(negative.runs.size(), 1u);  // runs before it are kept

    Decoded tooLong = Decode({0x11, 0x10, 0x40, 0x11, 0x10, 0x20, 0x00}, 20);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_TRUE(tooLong.runs.empty());  // all dropped
}

TEST(DataRuns, PieceRunsCarryTheStreamsVcns) {
    Decoded d = Decode({0x11, 0x04, 0x40, 0x00}, 103, 100);
    ASSERT_EQ(d.runs.size(), 1u);
    ExpectRun(d.runs[0], 0x40, 4, 100, 103);
    EXPECT_TRUE(d.ok);
}

TEST(NonResidentRead, ShortStreamThroughWholeAndPartialClusters) {
    OneFile f;
    Bytes content = Pattern(5000, 1);
    f.Open(NonResidentAttr(0x80, f.image.PlaceData(content), 4096, content.size()));
    std::vector<uint8_t> buffer(65536, 0xEE);
    uint32_t got = 0;
    ASSERT_TRUE(f.data->ReadData(0, buffer.data(), 65536, &got));
    EXPECT_EQ(got, 5000u);
    EXPECT_EQ(0, std::memcmp(buffer.data(), content.data(), 5000));
    EXPECT_EQ(buffer[5000], 0xEE);

    // From the middle of a cluster across its end.
    ASSERT_TRUE(f.data->ReadData(4000, buffer.data(), 200, &got));
    EXPECT_EQ(got, 200u);
    EXPECT_EQ(0, std::memcmp(buffer.data(), content.data() + 4000, 200));

    // At the data size: success with nothing; one further on: failure.
    ASSERT_TRUE(f.data->ReadData(5000, buffer.data(), 100, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(f.data->ReadData(5001, buffer.data(), 100, &got));
    EXPECT_FALSE(f.data->ReadData(0, nullptr, 100, &got));
    uint64_t allocated = 0;
    EXPECT_EQ(f.data->GetDataSize(&allocated), 5000u);
    EXPECT_EQ(allocated, 8192u);
}

TEST(NonResidentRead, OneDeviceReadPerPieceOfTheRequest) {
    VolumeImage image;
    Bytes content = Pattern(5000, 2);
    RecordLayout layout;
    layout.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"f"),
                  NonResidentAttr(0x80, image.PlaceData(content), 4096, content.size())};
    image.SetRecord(20, layout);
    auto reads = std::make_shared<std::atomic<uint64_t>>(0);
    NTFSVolume volume(std::make_unique<FaultDevice>(OpenImage(image.Build()), FaultPlan{}, reads), L"\\");
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskData);
    ASSERT_TRUE(record.ReadFileRecord(20));
    ASSERT_TRUE(record.ParseAttrs());
    uint64_t before = *reads;
    std::vector<uint8_t> buffer(65536);
    uint32_t got = 0;
    ASSERT_TRUE(record.FindStream()->ReadData(0, buffer.data(), 65536, &got));
    EXPECT_EQ(got, 5000u);
    // One whole cluster straight into the buffer, then the tail cluster through the cluster buffer.
    EXPECT_EQ(*reads - before, 2u);
}

TEST(NonResidentRead, SparseRunsReadAsZerosFromAnywhereInside) {
    OneFile f;
    Bytes head = Pattern(16 * 4096, 3);
    std::vector<QuorretTest::Run> runs = f.image.PlaceData(head);
    runs.push_back({-1, 256});  // 1 MiB hole
    Bytes tail = Pattern(4096, 4);
    for (const QuorretTest::Run& r : f.image.PlaceData(tail)) runs.push_back(r);
    uint64_t size = (16 + 256 + 1) * 4096ull;
    f.Open(NonResidentAttr(0x80, runs, 4096, size));

    LogCapture log;
    std::vector<uint8_t> buffer(65536, 0xEE);
    uint32_t got = 0;
    ASSERT_TRUE(f.data->ReadData(16 * 4096 + 65536 + 100, buffer.data(), 65536, &got));
    EXPECT_EQ(got, 65536u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 65536);
    EXPECT_GE(log.Count(LogCapture::Info(L"Sparse Data, Fill the buffer with 0. ")), 1u);

    Bytes all = ReadAll(f.data);
    ASSERT_EQ(all.size(), size);
    EXPECT_EQ(0, std::memcmp(all.data(), head.data(), head.size()));
    EXPECT_EQ(0, std::memcmp(all.data() + (16 + 256) * 4096, tail.data(), tail.size()));
}

// Reads go to the volume's bytes; the ranges asked for ahead are noted.
class PrefetchLog : public Device {
public:
    PrefetchLog(std::unique_ptr<Device> inner, std::vector<std::pair<uint64_t, uint64_t>>& asked)
        : inner_(std::move(inner)), asked_(asked) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        return inner_->ReadAt(offset, buffer, length, delivered);
    }
    void Prefetch(uint64_t offset, uint64_t length) override { asked_.emplace_back(offset, length); }

private:
    std::unique_ptr<Device> inner_;
    std::vector<std::pair<uint64_t, uint64_t>>& asked_;
};

TEST(NonResidentRead, PrefetchAsksForTheClustersThatHoldTheBytes) {
    VolumeImage image;
    std::vector<QuorretTest::Run> runs = image.PlaceData(Pattern(16 * 4096, 5));
    runs.push_back({-1, 256});
    for (const QuorretTest::Run& r : image.PlaceData(Pattern(4096, 6))) runs.push_back(r);
    ASSERT_EQ(runs.size(), 3u);
    const uint64_t size = (16 + 256 + 1) * 4096ull;
    RecordLayout layout;
    layout.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"f"), NonResidentAttr(0x80, runs, 4096, size)};
    image.SetRecord(20, layout);
    std::vector<std::pair<uint64_t, uint64_t>> asked;
    NTFSVolume volume(std::make_unique<PrefetchLog>(OpenImage(image.Build()), asked), L"\\");
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskData);
    ASSERT_TRUE(record.ReadFileRecord(20));
    ASSERT_TRUE(record.ParseAttrs());
    const auto* stream = dynamic_cast<const NTFSAttributeNonResident*>(record.FindStream());
    ASSERT_NE(stream, nullptr);
    const uint64_t head = static_cast<uint64_t>(runs[0].lcn) * 4096, tail = static_cast<uint64_t>(runs[2].lcn) * 4096;
    using Asked = std::vector<std::pair<uint64_t, uint64_t>>;
    // The whole stream, and more than it: each stored run once, the hole never.
    stream->Prefetch(0, UINT64_MAX);
    EXPECT_EQ(asked, (Asked{{head, 16 * 4096}, {tail, 4096}}));
    // Bytes inside clusters 1 and 2 ask for those clusters whole; the hole and the end ask for nothing.
    asked.clear();
    stream->Prefetch(5000, 4096);
    stream->Prefetch(20 * 4096, 4096);
    stream->Prefetch(size, 4096);
    stream->Prefetch(100, 0);
    EXPECT_EQ(asked, (Asked{{head + 4096, 2 * 4096}}));
}

TEST(NonResidentRead, BytesPastTheInitializedSizeReadAsZeros) {
    OneFile f;
    Bytes content = Pattern(3 * 4096, 5);
    Bytes attr = NonResidentAttr(0x80, f.image.PlaceData(content), 4096, content.size());
    PutLE(attr, 0x38, 5000, 8);
    f.Open(attr);
    Bytes all = ReadAll(f.data, 3000);
    ASSERT_EQ(all.size(), content.size());
    EXPECT_EQ(0, std::memcmp(all.data(), content.data(), 5000));
    EXPECT_EQ(std::count(all.begin() + 5000, all.end(), 0), static_cast<long>(content.size() - 5000));
}

TEST(NonResidentRead, ZerosPastTheInitializedSizeStopAtTheCoveredClusters) {
    // A damaged data size (1 TiB over one mapped cluster) must not read as a terabyte of zeros.
    OneFile f;
    Bytes content = Pattern(4096, 7);
    Bytes attr = NonResidentAttr(0x80, f.image.PlaceData(content), 4096, 4096);
    PutLE(attr, 0x30, uint64_t{1} << 40, 8);
    f.Open(attr);
    std::vector<uint8_t> buffer(65536);
    uint32_t got = 0;
    EXPECT_TRUE(f.data->ReadData(0, buffer.data(), 4096, &got));
    EXPECT_EQ(got, 4096u);
    EXPECT_EQ(0, std::memcmp(buffer.data(), content.data(), 4096));
    EXPECT_FALSE(f.data->ReadData(0, buffer.data(), 65536, &got));
    EXPECT_FALSE(f.data->ReadData(uint64_t{1} << 39, buffer.data(), 65536, &got));
}

TEST(NonResidentRead, DeviceFailureOrShortReadFails) {
    VolumeImage image;
    Bytes content = Pattern(8192, 6);
    std::vector<QuorretTest::Run> runs = image.PlaceData(content);
    RecordLayout layout;
    layout.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"f"), NonResidentAttr(0x80, runs, 4096, 8192)};
    image.SetRecord(20, layout);
    for (bool shortRead : {false, true}) {
        FaultPlan plan;
        plan.rangeBegin = static_cast<uint64_t>(runs[0].lcn) * 4096 + 4096;
        plan.rangeEnd = plan.rangeBegin + 1;
        plan.rangeShort = shortRead;
        NTFSVolume volume(std::make_unique<FaultDevice>(OpenImage(image.Build()), plan), L"\\");
        NTFSFileRecord record(&volume);
        record.SetAttrMask(kNTFSMaskData);
        ASSERT_TRUE(record.ReadFileRecord(20));
        ASSERT_TRUE(record.ParseAttrs());
        std::vector<uint8_t> buffer(8192);
        uint32_t got = 0;
        EXPECT_FALSE(record.FindStream()->ReadData(0, buffer.data(), 8192, &got)) << shortRead;
        EXPECT_TRUE(record.FindStream()->ReadData(0, buffer.data(), 4096, &got));
        EXPECT_EQ(got, 4096u);
    }
}

namespace {

// One LZNT1 chunk that expands to 4096 bytes of "abc" repeated: three literals and one
// back-reference of offset 3 and length 4093.
Bytes AbcChunk() {
    // Header 0xB005: compressed, 5 + 3 bytes with the header; then the flag byte (bit 3: the
    // fourth item is a back-reference), the literals and the token (offset 3 - 1 << 12 | 4093 - 3).
    uint16_t token = static_cast<uint16_t>((2u << 12) | (4093 - 3));
    return Bytes{0x05, 0xB0, 0x08, 'a', 'b', 'c', static_cast<uint8_t>(token), static_cast<uint8_t>(token >> 8)};
}

Bytes AbcExpanded() {
    Bytes out(4096);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>("abc"[i % 3]);
    return out;
}

}  // namespace

TEST(Lznt1, ChunksFillTheirSlotsAndTheRestIsZero) {
    Bytes input = AbcChunk();
    Bytes second = AbcChunk();
    input.insert(input.end(), second.begin(), second.end());
    input.push_back(0);
    input.push_back(0);
    Bytes out(16384, 0xEE);
    ASSERT_TRUE(DecompressLznt1(input.data(), input.size(), out.data(), out.size()));
    Bytes abc = AbcExpanded();
    EXPECT_EQ(0, std::memcmp(out.data(), abc.data(), 4096));
    EXPECT_EQ(0, std::memcmp(out.data() + 4096, abc.data(), 4096));
    EXPECT_EQ(std::count(out.begin() + 8192, out.end(), 0), 8192);
}

TEST(Lznt1, MalformedChunksAreRefused) {
    Bytes out(4096);
    // A back-reference before any output.
    Bytes early = {0x02, 0xB0, 0x01, 0x00, 0x10};
    EXPECT_FALSE(DecompressLznt1(early.data(), early.size(), out.data(), out.size()));
    // A chunk longer than the input.
    Bytes cut = {0x10, 0xB0, 0x00, 'a'};
    EXPECT_FALSE(DecompressLznt1(cut.data(), cut.size(), out.data(), out.size()));
    // A back-reference reaching further back than the output so far.
    uint16_t token = static_cast<uint16_t>((5u << 12) | 0);
    Bytes far = {0x03, 0xB0, 0x02, 'a', static_cast<uint8_t>(token), static_cast<uint8_t>(token >> 8)};
    EXPECT_FALSE(DecompressLznt1(far.data(), far.size(), out.data(), out.size()));
}

TEST(Lznt1, WindowsWrittenUnit) {
    std::string dir = std::string(QUORRET_SOURCE_DIR) + "/../shared/fixtures/windows/keramics/";
    FILE* in = std::fopen((dir + "lznt1_compressed.bin").c_str(), "rb");
    FILE* text = std::fopen((dir + "LICENSE.txt").c_str(), "rb");
    if (!in || !text) {
        if (in) std::fclose(in);
        if (text) std::fclose(text);
        GTEST_SKIP() << "Windows-written data not found beside the repository (../shared/fixtures/windows)";
    }
    Bytes packed(8192), licence(20000);
    packed.resize(std::fread(packed.data(), 1, packed.size(), in));
    licence.resize(std::fread(licence.data(), 1, licence.size(), text));
    std::fclose(in);
    std::fclose(text);
    ASSERT_EQ(packed.size(), 8192u);
    ASSERT_EQ(licence.size(), 11358u);
    Bytes out(65536);
    ASSERT_TRUE(DecompressLznt1(packed.data(), packed.size(), out.data(), out.size()));
    // The licence text, then zeros.
    EXPECT_EQ(0, std::memcmp(out.data(), licence.data(), licence.size()));
    EXPECT_EQ(std::count(out.begin() + 11358, out.end(), 0), 65536 - 11358);
}

TEST(CompressedStream, UnitsReadBackDecompressedStoredOrSparse) {
    OneFile f;
    // Unit 0: two chunks in one stored cluster and 15 sparse ones (compressed).
    // Unit 1: all 16 clusters stored (a unit that would not shrink).
    // Unit 2: nothing stored (sparse).
    Bytes packed = AbcChunk();
    Bytes again = AbcChunk();
    packed.insert(packed.end(), again.begin(), again.end());
    packed.resize(4096, 0);
    Bytes plain = Pattern(16 * 4096, 7);
    std::vector<QuorretTest::Run> runs = f.image.PlaceData(packed);
    runs.push_back({-1, 15});
    for (const QuorretTest::Run& r : f.image.PlaceData(plain)) runs.push_back(r);
    runs.push_back({-1, 16});
    uint64_t size = 3 * 65536 - 1000;
    f.Open(NonResidentAttr(0x80, runs, 4096, size, 0, L"", kNTFSAttrFlagCompressed, 4));
    auto* stream = static_cast<NTFSAttributeNonResident*>(f.data);
    EXPECT_TRUE(stream->IsCompressedStream());

    Bytes all = ReadAll(f.data, 5000);
    ASSERT_EQ(all.size(), size);
    Bytes abc = AbcExpanded();
    EXPECT_EQ(0, std::memcmp(all.data(), abc.data(), 4096));
    EXPECT_EQ(0, std::memcmp(all.data() + 4096, abc.data(), 4096));
    EXPECT_EQ(std::count(all.begin() + 8192, all.begin() + 65536, 0), 65536 - 8192);
    EXPECT_EQ(0, std::memcmp(all.data() + 65536, plain.data(), plain.size()));
    EXPECT_EQ(std::count(all.begin() + 131072, all.end(), 0), static_cast<long>(size - 131072));
}

TEST(CompressedStream, CompressionUnitWithoutTheFlagIsAPlainSparseStream) {
    OneFile f;
    Bytes content = Pattern(4096, 8);
    std::vector<QuorretTest::Run> runs = f.image.PlaceData(content);
    runs.push_back({-1, 15});
    f.Open(NonResidentAttr(0x80, runs, 4096, 65536, 0, L"", 0, 4));
    EXPECT_FALSE(static_cast<NTFSAttributeNonResident*>(f.data)->IsCompressedStream());
    Bytes all = ReadAll(f.data);
    ASSERT_EQ(all.size(), 65536u);
    EXPECT_EQ(0, std::memcmp(all.data(), content.data(), 4096));
    EXPECT_EQ(std::count(all.begin() + 4096, all.end(), 0), 65536 - 4096);
}

TEST(CompressedStream, CorruptUnitFailsTheRead) {
    OneFile f;
    Bytes junk = {0x10, 0xB0, 0x01, 0x00, 0x00};  // a back-reference before any output
    junk.resize(4096, 0);
    std::vector<QuorretTest::Run> runs = f.image.PlaceData(junk);
    runs.push_back({-1, 15});
    f.Open(NonResidentAttr(0x80, runs, 4096, 65536, 0, L"", kNTFSAttrFlagCompressed, 4));
    std::vector<uint8_t> buffer(100);
    uint32_t got = 0;
    EXPECT_FALSE(f.data->ReadData(0, buffer.data(), 100, &got));
}

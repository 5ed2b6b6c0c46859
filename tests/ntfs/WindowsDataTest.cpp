// Windows-written data (../shared/fixtures/windows): raw $MFT files, single records, a volume
// with 2 MiB clusters that TSK cannot open, and pieces of two big volumes: one whose $MFT run
// list continues in an extension record, one with a file initialized only in its first cluster.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSBootSector.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/ntfs/TskOutput.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PatchDevice.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

const std::string kWindows = std::string(QUORRET_SOURCE_DIR) + "/../shared/fixtures/windows/";

#define SKIP_WITHOUT_WINDOWS_DATA()                                                                       \
    do {                                                                                                  \
        if (!ReadTextFile(kWindows + "SOURCES.md"))                                                       \
            GTEST_SKIP() << "Windows-written data not found beside the repository (../shared/fixtures/windows)"; \
    } while (0)

std::optional<Bytes> ReadBytes(const std::string& path) {
    auto text = ReadTextFile(path);
    if (!text) return std::nullopt;
    return Bytes(text->begin(), text->end());
}

std::optional<ImageEntry> FindImage(const std::string& name) {
    for (const ImageEntry& image : LoadImages())
        if (image.name == name) return image;
    return std::nullopt;
}

uint32_t U32At(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24; }
uint16_t U16At(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// A volume around a raw $MFT: a boot sector with 4 KiB clusters, the MFT's bytes from cluster 4
// on, and record 0's $DATA run list rewritten to that one extent (the original runs name the
// clusters of the volume the file came from).
std::shared_ptr<const Bytes> VolumeAroundMft(const Bytes& mft, std::string* problem) {
    constexpr uint64_t kCluster = 4096, kMftCluster = 4;
    uint32_t recordSize = U32At(mft, 0x1C);
    uint64_t clusters = (mft.size() + kCluster - 1) / kCluster;
    auto image = std::make_shared<Bytes>((kMftCluster + clusters + 1) * kCluster, 0);
    Bytes& b = *image;
    std::memcpy(b.data() + 3, "NTFS    ", 8);
    PutLE(b, 0x0B, 512, 2);
    PutLE(b, 0x0D, kCluster / 512, 1);
    PutLE(b, 0x30, kMftCluster, 8);
    int shift = 0;
    while ((1u << shift) < recordSize) ++shift;
    PutLE(b, 0x40, recordSize >= kCluster ? recordSize / kCluster : static_cast<uint8_t>(-shift), 1);
    PutLE(b, 0x44, 1, 1);
    std::memcpy(b.data() + kMftCluster * kCluster, mft.data(), mft.size());

    Bytes record0(mft.begin(), mft.begin() + recordSize);
    for (size_t at = U16At(record0, 0x14); at + 8 <= recordSize;) {
        uint32_t type = U32At(record0, at), length = U32At(record0, at + 4);
        if (type == 0xFFFFFFFF || length < 0x18 || at + length > recordSize) break;
        if (type == 0x20) *problem = "record 0 has an attribute list";
        if (type == 0x80 && record0[at + 8]) {
            size_t runs = at + U16At(record0, at + 0x20);
            Bytes run = {0x12, static_cast<uint8_t>(clusters), static_cast<uint8_t>(clusters >> 8),
                         static_cast<uint8_t>(kMftCluster), 0};
            if (runs + run.size() > at + length) *problem = "no room for the new run list";
            // The fields written must not be the last two bytes of a 512-byte block (fix-up).
            for (size_t pos : {runs, runs + run.size() - 1, at + 0x18, at + 0x3F})
                if (pos % 512 >= 510) *problem = "a rewritten field lies on a fix-up position";
            size_t base = kMftCluster * kCluster;
            std::memcpy(b.data() + base + runs, run.data(), run.size());
            PutLE(b, base + at + 0x18, clusters - 1, 8);
            PutLE(b, base + at + 0x28, clusters * kCluster, 8);
            PutLE(b, base + at + 0x30, mft.size(), 8);
            PutLE(b, base + at + 0x38, mft.size(), 8);
            return image;
        }
        at += length;
    }
    if (problem->empty()) *problem = "record 0 has no non-resident $DATA";
    return image;
}

bool ParsesUnderEveryMask(NTFSFileRecord& record) {
    for (uint32_t mask : {kNTFSMaskFileName, kNTFSMaskData, kNTFSMaskVolume, 0xFFFFFFFFu}) {
        record.SetAttrMask(mask);
        if (!record.ParseAttrs()) return false;
    }
    return true;
}

struct MftCounts {
    uint64_t records = 0, magic = 0, inUse = 0, deletedNamed = 0, failures = 0;
};

// Reads every record of a volume: a record that starts with "FILE" must read and parse under
// every mask; any other must be refused.
MftCounts WalkRecords(NTFSVolume& volume, bool clustersPresent, std::vector<std::string>* failures) {
    MftCounts counts;
    const uint32_t size = volume.GetFileRecordSize();
    Bytes raw(size);
    for (uint64_t n = 0; n < volume.GetRecordsCount(); ++n) {
        ++counts.records;
        uint32_t got = 0;
        bool magic = volume.GetMFTData()->ReadData(n * size, raw.data(), size, &got) && got == size &&
                     std::memcmp(raw.data(), "FILE", 4) == 0;
        NTFSFileRecord record(&volume);
        bool read = record.ReadFileRecord(n);
        if (magic) ++counts.magic;
        if (read != magic || (read && !ParsesUnderEveryMask(record))) {
            ++counts.failures;
            failures->push_back("record " + std::to_string(n) + (magic ? " not read or parsed" : " read without FILE"));
            continue;
        }
        if (!read) continue;
        record.SetAttrMask(kNTFSMaskFileName);
        record.ParseAttrs();
        wchar_t name[261];
        if (!record.IsDeleted()) ++counts.inUse;
        else if (record.GetFileName(name, 260) > 0) ++counts.deletedNamed;
        // Every unnamed stream reads to its end (a raw $MFT brings no clusters, only records).
        record.SetAttrMask(kNTFSMaskData);
        record.ParseAttrs();
        NTFSAttributeBase* data = record.FindStream();
        if (data && (clustersPresent || !data->IsNonResident())) {
            std::vector<uint8_t> buffer(0x10000);
            for (uint64_t offset = 0; offset < data->GetDataSize();) {
                if (!data->ReadData(offset, buffer.data(), 0x10000, &got) || got == 0) {
                    failures->push_back("record " + std::to_string(n) + " data unreadable at " + std::to_string(offset));
                    ++counts.failures;
                    break;
                }
                offset += got;
            }
        }
    }
    return counts;
}

}  // namespace

TEST(WindowsData, RawMftFiles) {
    SKIP_WITHOUT_WINDOWS_DATA();
    // Records, in use, and not in use with a name, as the data's SOURCES.md counts them.
    struct Expected {
        std::string path;
        uint64_t records, inUse, deletedNamed;
    };
    std::vector<Expected> files = {
        {kWindows + "dfir_ntfs/deleted.mft", 256, 35, 6},
        {kWindows + "dfir_ntfs/different_la.mft", 256, 39, 61},
        {kWindows + "dfir_ntfs/orphan.mft", 256, 36, 4},
        {kWindows + "dfir_ntfs/unicode.mft", 256, 36, 0},
        {kWindows + "dfir_ntfs/compressed_sparse.mft", 256, 36, 0},
        {kWindows + "dfir_ntfs/slack.mft", 256, 55, 0},
        {kWindows + "dfir_ntfs/mapping_pairs_1.mft", 256, 41, 2},
        {kWindows + "dfir_ntfs/4k-large.mft", 256, 36, 0},
        {kWindows + "libmft/MFT_onefiledeleted.bin", 256, 31, 1},
        {kWindows + "libmft/MFT_simplefsdeletedfolder.bin", 256, 32, 4},
        {kWindows + "libmft/MFT_changed.bin", 256, 36, 1},
        {kWindows + "libmft/MFT_singlefileads.bin", 256, 32, 0},
        {kWindows + "libmft/stress_filename.bin", 256, 37, 0},
    };
    if (auto dissect = FindImage("dissect_mft")) files.push_back({dissect->path, 256, 37, 0});
    uint64_t total = 0;
    for (const Expected& e : files) {
        auto mft = ReadBytes(e.path);
        ASSERT_TRUE(mft) << e.path;
        std::string problem;
        auto image = VolumeAroundMft(*mft, &problem);
        ASSERT_TRUE(problem.empty()) << e.path << ": " << problem;
        auto volume = OpenVolume(image);
        ASSERT_TRUE(volume->IsVolumeOK()) << e.path;
        std::vector<std::string> failures;
        MftCounts counts = WalkRecords(*volume, false, &failures);
        for (const std::string& f : failures) ADD_FAILURE() << e.path << ": " << f;
        EXPECT_EQ(counts.records, e.records) << e.path;
        EXPECT_EQ(counts.inUse, e.inUse) << e.path;
        EXPECT_EQ(counts.deletedNamed, e.deletedNamed) << e.path;
        total += counts.records;
        std::printf("%-32s %llu records, %llu FILE, %llu in use, %llu deleted with a name\n",
                    e.path.substr(e.path.rfind('/') + 1).c_str(), static_cast<unsigned long long>(counts.records),
                    static_cast<unsigned long long>(counts.magic), static_cast<unsigned long long>(counts.inUse),
                    static_cast<unsigned long long>(counts.deletedNamed));
    }
    std::printf("raw $MFT files: %llu records read\n", static_cast<unsigned long long>(total));
}

TEST(WindowsData, SingleRecords) {
    SKIP_WITHOUT_WINDOWS_DATA();
    struct One {
        std::string file;
        std::wstring name;  // the first Win32 name; empty: only checked to parse
    } records[] = {
        {"dfir_ntfs/frs.bin", L"channels.txt"},
        {"mft-crate/entry_single_file", L"test_cfuncs.py"},
        {"mft-crate/entry_data_run_at_offset", L""},
        {"mft-crate/entry_multiple_index_root_entries", L"test"},
        {"mft-crate/entry_long_name_and_res_ads_002", L"longname_res_with_ads.txt"},
        {"mft-crate/entry_super_long_name_001", L""},
        {"go-ntfs/highly_fragmented_mft/0xc0000000.bin", L"$MFT"},
        {"go-ntfs/large_file_small_init/0xc000b800.bin",
         L"{02D4B3F1-FD88-11D1-960D-00805FC79235}.{F85EE870-A618-4F0C-9A11-D3EA5053C054}.crmlog"},
    };
    VolumeImage image;
    auto volume = OpenVolume(image);
    for (const One& one : records) {
        auto bytes = ReadBytes(kWindows + one.file);
        ASSERT_TRUE(bytes) << one.file;
        ASSERT_EQ(bytes->size(), 1024u);
        NTFSFileRecord record(volume.get());
        ASSERT_TRUE(record.LoadFileRecord(100, bytes->data(), bytes->size())) << one.file;
        EXPECT_TRUE(ParsesUnderEveryMask(record)) << one.file;
        record.SetAttrMask(kNTFSMaskFileName);
        ASSERT_TRUE(record.ParseAttrs());
        wchar_t name[261];
        int n = record.GetFileName(name, 260);
        if (!one.name.empty()) {
            ASSERT_GT(n, 0) << one.file;
            EXPECT_EQ(std::wstring(name), one.name) << one.file;
        }
        if (one.file == "mft-crate/entry_super_long_name_001") {
            EXPECT_EQ(n, 228);
            EXPECT_EQ(std::wstring(name).substr(0, 20), L"time_for_a_super_sup");
        }
    }
    // A record whose first block does not end in the update sequence number (0x0046 where
    // 0x0018 belongs): a torn write. TSK refuses it too ("Incorrect update sequence value").
    auto torn = ReadBytes(kWindows + "mft-crate/entry_102130_fixup_issue");
    ASSERT_TRUE(torn);
    NTFSFileRecord record(volume.get());
    LogCapture log;
    EXPECT_FALSE(record.LoadFileRecord(100, torn->data(), torn->size()));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to update sequence number. ")), 1u);
}

TEST(WindowsData, TwoMegabyteClusters) {
    SKIP_WITHOUT_WINDOWS_DATA();
    auto image = FindImage("ntfs-2m");
    if (!image) GTEST_SKIP() << "images not prepared in " << ImagesDir();
    uint32_t error = 0;
    NTFSVolume volume(OpenPathDevice(Utf8ToWide(image->path), image->offset, &error), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK());
    EXPECT_EQ(volume.GetClusterSize(), 2u * 1024 * 1024);
    ASSERT_TRUE(volume.HasMFTData());
    std::vector<std::string> failures;
    MftCounts counts = WalkRecords(volume, true, &failures);
    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_GT(counts.inUse, 24u);
    std::printf("ntfs-2m: %llu records, %llu FILE, %llu in use (TSK cannot open this volume)\n",
                static_cast<unsigned long long>(counts.records), static_cast<unsigned long long>(counts.magic),
                static_cast<unsigned long long>(counts.inUse));
}

namespace {

// A device over a volume rebuilt from pieces, with a $Volume record added: the pieces do not
// include record 3, without which no volume opens.
std::unique_ptr<PatchDevice> PiecesDevice(const ImageEntry& image, uint64_t* mftAddr) {
    uint32_t error = 0;
    auto device = std::make_unique<PatchDevice>(OpenPathDevice(Utf8ToWide(image.path), 0, &error));
    uint8_t boot[512];
    uint32_t got = 0;
    NTFSBootSector geometry;
    if (!device->ReadAt(0, boot, 512, &got) || !ParseBootSector(boot, got, &geometry)) return nullptr;
    *mftAddr = geometry.mftAddr;
    VolumeImage::Geometry g;
    g.sectorSize = geometry.sectorSize;
    g.clusterSize = geometry.clusterSize;
    g.recordSize = geometry.fileRecordSize;
    device->Patch(geometry.mftAddr + 3 * geometry.fileRecordSize, VolumeImage(g).EncodeRecord(3));
    return device;
}

struct RunLength {
    uint64_t lcn, clusters;
    bool operator==(const RunLength&) const = default;
};

// Runs laid end to end on the volume become one, so both sides count alike.
std::vector<RunLength> Coalesce(const std::vector<RunLength>& runs) {
    std::vector<RunLength> out;
    for (const RunLength& r : runs) {
        if (!out.empty() && out.back().lcn + out.back().clusters == r.lcn) {
            out.back().clusters += r.clusters;
        } else {
            out.push_back(r);
        }
    }
    return out;
}

}  // namespace

TEST(WindowsData, MftContinuedInAnExtensionRecord) {
    SKIP_WITHOUT_WINDOWS_DATA();
    auto image = FindImage("highly_fragmented_mft");
    if (!image) GTEST_SKIP() << "images not prepared in " << ImagesDir();
    auto istat = ReadTextFile(kWindows + "go-ntfs/highly_fragmented_mft/istat.txt");
    ASSERT_TRUE(istat);
    // TSK's run list of the $MFT's $DATA, all pieces.
    std::vector<RunLength> tskRuns;
    {
        std::istringstream lines(*istat);
        std::string line;
        bool inData = false;
        while (std::getline(lines, line)) {
            if (line.rfind("Type: ", 0) == 0) inData = line.rfind("Type: $DATA (128-", 0) == 0;
            unsigned long long lcn, length;
            if (inData && std::sscanf(line.c_str(), "  Staring address: %llu, length: %llu", &lcn, &length) == 2)
                tskRuns.push_back({lcn, length});
        }
    }
    ASSERT_GT(tskRuns.size(), 20u);

    uint64_t mftAddr = 0;
    auto device = PiecesDevice(*image, &mftAddr);
    ASSERT_TRUE(device);
    // Put a file record where TSK's runs say MFT cluster 1604054 + 10 lies: past the run list
    // of record 0's own $DATA attribute, in the part that extension record 15 maps.
    const uint64_t vcn = 1604064;
    uint64_t lcn = 0, first = 0;
    for (const RunLength& r : tskRuns) {
        if (vcn < first + r.clusters) {
            lcn = r.lcn + (vcn - first);
            break;
        }
        first += r.clusters;
    }
    ASSERT_NE(lcn, 0u);
    const uint64_t number = vcn * 4 + 1;
    VolumeImage names;
    FileEntry file;
    file.name = L"far into the MFT.txt";
    file.deleted = false;
    names.AddFile(20, file);
    device->Patch(lcn * 4096 + 1024, names.EncodeRecord(20));

    NTFSVolume volume(std::move(device), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK());
    ASSERT_TRUE(volume.HasMFTData());
    EXPECT_EQ(volume.GetRecordsCount(), 7203717120ull / 1024);
    std::vector<RunLength> ours;
    auto& runs = static_cast<NTFSAttributeNonResident*>(volume.GetMFTData())->GetDataRuns();
    for (const auto& run : runs)
        if (run.LCN >= 0) ours.push_back({static_cast<uint64_t>(run.LCN), run.Clusters});
    EXPECT_EQ(Coalesce(ours), Coalesce(tskRuns));
    std::printf("highly fragmented $MFT: %zu runs from record 0 and extension record 15, %llu records\n",
                ours.size(), static_cast<unsigned long long>(volume.GetRecordsCount()));

    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName);
    ASSERT_TRUE(record.ReadFileRecord(number));
    ASSERT_TRUE(record.ParseAttrs());
    wchar_t name[261];
    ASSERT_GT(record.GetFileName(name, 260), 0);
    EXPECT_EQ(std::wstring(name), L"far into the MFT.txt");
    // Records 16 and 17 (the $MFT's $BITMAP extension records) come through the MFT data too.
    ASSERT_TRUE(record.ReadFileRecord(16));
    EXPECT_EQ(record.GetBaseRecordRef() & kNTFSRecordNumberMask, 0u);
}

TEST(WindowsData, BytesPastTheInitializedSizeReadAsZeros) {
    SKIP_WITHOUT_WINDOWS_DATA();
    auto image = FindImage("large_file_small_init");
    if (!image) GTEST_SKIP() << "images not prepared in " << ImagesDir();
    uint64_t mftAddr = 0;
    auto device = PiecesDevice(*image, &mftAddr);
    ASSERT_TRUE(device);
    // The file's second cluster (69788) is allocated but lies past the initialized size; on the
    // real volume it holds whatever was there before. Fill it with garbage to tell.
    device->Patch(69788ull * 4096, Bytes(4096, 0xAB));
    NTFSVolume volume(std::move(device), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK());
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
    ASSERT_TRUE(record.ReadFileRecord(46));
    ASSERT_TRUE(record.ParseAttrs());
    wchar_t name[261];
    ASSERT_GT(record.GetFileName(name, 260), 0);
    EXPECT_EQ(std::wstring(name), L"{02D4B3F1-FD88-11D1-960D-00805FC79235}.{F85EE870-A618-4F0C-9A11-D3EA5053C054}.crmlog");
    auto* data = static_cast<NTFSAttributeNonResident*>(record.FindStream());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetDataSize(), 1048576u);
    EXPECT_EQ(data->GetInitializedSize(), 4096u);

    Bytes initialized;
    for (const char* piece : {"0x1109b000.bin", "0x1109b400.bin", "0x1109b800.bin", "0x1109bc00.bin"}) {
        auto bytes = ReadBytes(kWindows + "go-ntfs/large_file_small_init/" + piece);
        ASSERT_TRUE(bytes);
        initialized.insert(initialized.end(), bytes->begin(), bytes->end());
    }
    Bytes all;
    std::vector<uint8_t> buffer(0x10000);
    for (uint64_t offset = 0; offset < data->GetDataSize();) {
        uint32_t got = 0;
        ASSERT_TRUE(data->ReadData(offset, buffer.data(), 0x10000, &got));
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
        offset += got;
    }
    ASSERT_EQ(all.size(), 1048576u);
    EXPECT_EQ(0, std::memcmp(all.data(), initialized.data(), 4096));
    EXPECT_EQ(std::count(all.begin() + 4096, all.end(), 0), 1048576 - 4096);
}

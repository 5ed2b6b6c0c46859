// Damaged volumes: random bytes flipped in the boot sector, the MFT and the data clusters of a
// volume that uses every structure the reader knows. Nothing may read outside a buffer, divide
// by zero or loop without end (ASan and UBSan watch the native run); every call must return.
#include <gtest/gtest.h>

#include <random>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"
#include "tests/ntfs/NTFSTestUtil.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

// Records 16-23: names, resident and non-resident data, a sparse and a compressed stream, an
// attribute list with an extension record holding the second piece of a stream.
VolumeImage Sample() {
    VolumeImage image;
    for (uint64_t n = 16; n < 20; ++n) {
        FileEntry f;
        f.name = L"file" + std::to_wstring(n) + L".txt";
        f.data = Pattern(n == 16 ? 100 : 5000 * (n - 16), static_cast<uint32_t>(n));
        f.nonResident = n != 16;
        f.deleted = n % 2 == 0;
        image.AddFile(n, f);
    }
    std::vector<QuorretTest::Run> runs = image.PlaceData(Pattern(4096, 1));
    runs.push_back({-1, 15});
    RecordLayout compressed;
    compressed.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"c.bin"),
                        NonResidentAttr(0x80, runs, 4096, 65536, 0, L"", kNTFSAttrFlagCompressed, 4)};
    image.SetRecord(20, compressed);
    RecordLayout base;
    base.attrs = {StandardInfoAttr(1, 2, 3), AttributeListAttr({{0x30, 21}, {0x80, 21, 2}, {0x80, 22, 0}}),
                  FileNameAttr(5, L"base.bin"), NonResidentAttr(0x80, image.PlaceData(Pattern(8192, 2)), 4096, 16384)};
    image.SetRecord(22, base);
    RecordLayout extension;
    extension.baseRef = 22;
    extension.attrs = {FileNameAttr(5, L"ext.bin"), NonResidentAttr(0x80, image.PlaceData(Pattern(8192, 3)), 4096, 0, 2)};
    image.SetRecord(21, extension);
    return image;
}

struct Outcomes {
    uint64_t volumesOK = 0, volumesRefused = 0, recordsRefused = 0, parsesFailed = 0, readsFailed = 0, bytesRead = 0;
};

void Exercise(const std::shared_ptr<const Bytes>& bytes, Outcomes& out) {
    NTFSVolume volume(OpenImage(bytes), L"\\");
    ++(volume.IsVolumeOK() ? out.volumesOK : out.volumesRefused);
    uint64_t count = std::min<uint64_t>(volume.GetRecordsCount(), 64);
    std::vector<uint8_t> buffer(0x10000);
    for (uint64_t n = 0; n < count; ++n) {
        NTFSFileRecord record(&volume);
        for (uint32_t mask : {kNTFSMaskFileName, kNTFSMaskData, 0xFFFFFFFFu}) {
            record.SetAttrMask(mask);
            if (!record.ReadFileRecord(n)) {
                ++out.recordsRefused;
                break;
            }
            if (!record.ParseAttrs()) ++out.parsesFailed;
            wchar_t name[261];
            record.GetFileName(name, 260);
            record.GetParentRef();
            uint64_t t = 0;
            record.GetFileTime(&t, &t, &t);
            for (NTFSAttributeBase* data = record.FindFirstAttr(0x80); data; data = record.FindNextAttr(0x80)) {
                uint32_t got = 0;
                for (uint64_t offset : {uint64_t{0}, uint64_t{4000}, data->GetDataSize() / 2}) {
                    if (data->ReadData(offset, buffer.data(), static_cast<uint32_t>(buffer.size()), &got))
                        out.bytesRead += got;
                    else
                        ++out.readsFailed;
                }
            }
        }
    }
}

}  // namespace

TEST(HostileBytes, FlippedBytesNeverCrashOrHang) {
    VolumeImage image = Sample();
    auto clean = image.Build();
    Outcomes baseline;
    Exercise(clean, baseline);
    EXPECT_EQ(baseline.volumesOK, 1u);
    EXPECT_EQ(baseline.parsesFailed, 0u);
    EXPECT_GT(baseline.bytesRead, 100000u);
    Outcomes damagedOutcomes;
    std::mt19937 random(20261207);
    const uint64_t mftStart = image.MftByteOnVolume(0);
    const uint64_t mftEnd = image.MftByteOnVolume(24 * 1024);
    for (int round = 0; round < 1000; ++round) {
        auto damaged = std::make_shared<Bytes>(*clean);
        int flips = 1 + static_cast<int>(random() % 16);
        for (int i = 0; i < flips; ++i) {
            uint64_t at;
            switch (random() % 4) {
            case 0: at = random() % 512; break;  // boot sector
            case 3: at = random() % damaged->size(); break;
            default: at = mftStart + random() % (mftEnd - mftStart); break;
            }
            (*damaged)[at] = static_cast<uint8_t>(random());
        }
        Exercise(damaged, damagedOutcomes);
    }
    // The damage reached every stage: some volumes still open, some are refused, records and
    // attributes are refused and reads fail, all without a crash.
    EXPECT_GT(damagedOutcomes.volumesOK, 0u);
    EXPECT_GT(damagedOutcomes.volumesRefused, 0u);
    EXPECT_GT(damagedOutcomes.recordsRefused, 0u);
    EXPECT_GT(damagedOutcomes.parsesFailed, 0u);
    EXPECT_GT(damagedOutcomes.readsFailed, 0u);
}

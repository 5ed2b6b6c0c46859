// Volumes whose first copy of a piece of metadata is damaged: record 0 of the $MFT (then read
// from $MFTMirr) or the boot sector (then read from its backup in the volume's last sector).
// Every fixture so damaged scans and restores exactly as the undamaged one does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>
#include <tuple>

#include "base/ByteReader.h"
#include "base/Utf16.h"
#include "fuzz/harness/Destination.h"
#include "ntfs/NTFSBootSector.h"
#include "ntfs/NTFSVolume.h"
#include "scan/FileScanTask.h"
#include "tests/robust/RobustSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Sha256.h"

using namespace Vorlaq;
using namespace QuorretTest;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxRestoreSize = 8u << 20;
// Restores per run: the data runs of a few files show the volume reads; a thousand restores more
// would show nothing new.
constexpr size_t kRestores = 16;
const std::wstring kMirrorWarning = std::wstring(L"Warning: \t") + kMFTMirrorWarning + L"\r\n";

// What a scan and a restore give: per record, its name, path and size, and for the first files
// the restored bytes' digest.
using Outcome = std::map<uint64_t, std::tuple<std::wstring, std::wstring, uint64_t, std::string>>;

std::string FileDigest(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Sha256 digest;
    digest.Update(bytes.data(), bytes.size());
    return digest.HexDigest();
}

Outcome ScanAndRestore(std::shared_ptr<const ImageView> view, const fs::path& out) {
    VolumeSource source = SourceOf([view] { return std::make_unique<PatchedDevice>(view); });
    ScanResult scan = Scan(source);
    Outcome outcome;
    if (scan.state != kScanFinished) return outcome;
    std::error_code ignored;
    fs::remove_all(out, ignored);
    fs::create_directories(out);
    std::vector<DeletedFileInfo> first(scan.files.begin(), scan.files.begin() + std::min(kRestores, scan.files.size()));
    for (const RestoreResult& r : RestoreAll(source, first, out, kMaxRestoreSize))
        if (r.ok) std::get<3>(outcome[r.record]) = FileDigest(QuorretFuzz::NativePath(r.dest));
    for (const DeletedFileInfo& file : scan.files) {
        auto& entry = outcome[file.GetRecordNumber()];
        std::get<0>(entry) = file.GetName();
        std::get<1>(entry) = file.GetPath();
        std::get<2>(entry) = file.GetSize();
    }
    return outcome;
}

// The first byte of the first run's cluster number in record 0's $DATA run list (the record as
// stored: the fixtures' run lists lie clear of the fix-up words).
uint64_t FirstRunClusterByte(const Bytes& image, uint64_t record0) {
    ByteReader record(image.data() + record0, 1024);
    size_t at = record.U16(0x14).value_or(0);
    while (record.U32(at).value_or(0xFFFFFFFF) != 0x80) at += record.U32(at + 4).value_or(1024);
    size_t runs = at + record.U16(at + 0x20).value();
    return record0 + runs + 1 + (record.U8(runs).value() & 0x0F);
}

}  // namespace

TEST(DamagedMetadata, RecordZeroAndBootSectorFallBackToTheirCopies) {
    const std::vector<FixtureImage> fixtures = LoadFixtureImages();
    ASSERT_GE(fixtures.size(), 2u) << "fixture images missing or not unpacked (xz)";
    const fs::path sandbox = QuorretFuzz::MakeScratchFolder("quorret-damaged");
    for (const FixtureImage& fixture : fixtures) {
        SCOPED_TRACE(fixture.name);
        NTFSBootSector boot;
        ASSERT_TRUE(ParseBootSector(fixture.bytes->data(), 512, &boot));
        ASSERT_NE(boot.mftMirrAddr, 0u);
        auto pristine = std::make_shared<ImageView>();
        pristine->base = fixture.bytes;
        const Outcome expected = ScanAndRestore(pristine, sandbox / "pristine");
        ASSERT_FALSE(expected.empty());

        auto flipped = [&](uint64_t offset, uint8_t bit) {
            return Patch{offset, Bytes{static_cast<uint8_t>((*fixture.bytes)[offset] ^ bit)}};
        };
        const uint64_t record0 = boot.mftAddr;
        struct Case {
            const char* name;
            Patch patch;
            bool recordZero;  // the $MFTMirr warning is expected
        } cases[] = {
            {"record 0 zeroed", Patch{record0, Bytes(boot.fileRecordSize, 0)}, true},
            {"record 0 magic bit-flipped", flipped(record0 + 1, 0x04), true},
            {"record 0 fix-up word bit-flipped", flipped(record0 + boot.sectorSize - 2, 0x01), true},
            {"record 0 run list bit-flipped", flipped(FirstRunClusterByte(*fixture.bytes, record0), 0x01), true},
            {"boot sector zeroed", Patch{0, Bytes(512, 0)}, false},
            {"boot sector OEM name bit-flipped", flipped(3, 0x02), false},
            {"boot sector MFT cluster bit-flipped", flipped(0x30, 0x08), false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            auto view = std::make_shared<ImageView>();
            view->base = fixture.bytes;
            view->patches = {c.patch};
            {
                // One open of the volume says once which copy it reads.
                LogCapture log;
                NTFSVolume volume(std::make_unique<PatchedDevice>(view), L"\\");
                EXPECT_TRUE(volume.IsVolumeOK());
                EXPECT_TRUE(volume.HasMFTData());
                EXPECT_EQ(log.Count(kMirrorWarning), c.recordZero ? 1u : 0u);
                EXPECT_EQ(volume.UsesMFTMirror(), c.recordZero);
                EXPECT_EQ(volume.GetBootSectorOffset() != 0, !c.recordZero);
                size_t backupLines = 0;
                for (const std::wstring& line : log.Lines())
                    backupLines += line.find(L"The boot sector is damaged; using its backup at ") != std::wstring::npos;
                EXPECT_EQ(backupLines, c.recordZero ? 0u : 1u);
            }
            EXPECT_EQ(ScanAndRestore(view, sandbox / "damaged"), expected);
        }
    }
    std::error_code ignored;
    fs::remove_all(sandbox, ignored);
}

// File records: reading by number, the checks on the record bytes, the attribute walk and masks,
// and the queries the scan and restore make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSRecordHeader.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

constexpr uint64_t kNumber = 20;

// Builds the image, opens it and reads record `kNumber` with `mask`.
struct Fixture {
    VolumeImage image;
    std::shared_ptr<const Bytes> bytes;
    std::unique_ptr<NTFSVolume> volume;
    std::unique_ptr<NTFSFileRecord> record;

    explicit Fixture(VolumeImage::Geometry g = {}) : image(g) {}

    bool Read(uint32_t mask = 0xFFFFFFFF, uint64_t number = kNumber) {
        bytes = image.Build();
        volume = OpenVolume(bytes);
        record = std::make_unique<NTFSFileRecord>(volume.get());
        record->SetAttrMask(mask);
        return record->ReadFileRecord(number);
    }
    void Set(std::vector<Bytes> attrs, uint16_t flags = kRecordInUse) {
        RecordLayout layout;
        layout.flags = flags;
        layout.attrs = std::move(attrs);
        image.SetRecord(kNumber, layout);
    }
    // The encoded record with a patch applied after the fix-up.
    void Patch(size_t at, uint64_t value, int width) {
        Bytes raw = image.EncodeRecord(kNumber);
        PutLE(raw, at, value, width);
        image.SetRawRecord(kNumber, raw);
    }
};

std::wstring Name(NTFSFileRecord& record) {
    wchar_t buffer[261];
    int n = record.GetFileName(buffer, 260);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace

TEST(FileRecord, ZeroedRecordIsInvalidAndKeepsItsNumber) {
    Fixture f;
    f.image.SetRawRecord(kNumber, Bytes{});
    LogCapture log;
    EXPECT_FALSE(f.Read());
    EXPECT_EQ(log.Count(LogCapture::Error(L"Invalid file record. ")), 1u);
    EXPECT_EQ(f.record->GetFileRef(), kNumber);
    EXPECT_FALSE(f.record->ParseAttrs());
}

TEST(FileRecord, FixUpMismatchInAnyBlockFails) {
    for (size_t tail : {size_t{510}, size_t{1022}}) {
        Fixture f;
        f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"x")});
        Bytes raw = f.image.EncodeRecord(kNumber);
        raw[tail] ^= 0xFF;
        f.image.SetRawRecord(kNumber, raw);
        LogCapture log;
        EXPECT_FALSE(f.Read()) << tail;
        EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to update sequence number. ")), 1u);
        EXPECT_EQ(f.record->GetFileRef(), kNumber);
    }
}

TEST(FileRecord, FixUpCoversEvery512ByteBlockWith4096ByteSectors) {
    VolumeImage::Geometry g;
    g.sectorSize = 4096;
    g.recordSize = 4096;
    Fixture f(g);
    // A name long enough to cross the first 512-byte block end, where the fix-up puts its
    // saved bytes back.
    std::wstring name(240, L'n');
    name[200] = L'Z';
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, name)});
    ASSERT_TRUE(f.Read(4));
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_EQ(Name(*f.record), name);
}

TEST(FileRecord, UpdateSequenceArrayOrFirstAttributeOutsideTheRecordIsRefused) {
    struct Case {
        size_t at;
        uint64_t value;
        const wchar_t* message;
    } cases[] = {
        {0x04, 0x3FE, L"Failed to update sequence number. "},  // array runs past the end
        {0x06, 9, L"Failed to update sequence number. "},      // count not 1024 / 512 + 1
        {0x06, 1, L"Failed to update sequence number. "},
        {0x14, 0x3FE, L"Invalid file record. "},               // no room for a type code
        {0x14, 0xFFFF, L"Invalid file record. "},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Set({StandardInfoAttr(1, 2, 3)});
        f.Patch(c.at, c.value, 2);
        LogCapture log;
        EXPECT_FALSE(f.Read()) << c.at << " " << c.value;
        EXPECT_EQ(log.Count(LogCapture::Error(c.message)), 1u) << c.at << " " << c.value;
    }
}

// The walk passes over records by their unloaded header: it must call sound exactly the bytes
// that load without a log line, read the flags loading reads, and leave the bytes untouched.
TEST(FileRecord, UnloadedHeaderAgreesWithLoading) {
    struct Case {
        uint16_t flags;
        uint64_t baseRef;
        size_t at;  // a patch of `width` bytes after the fix-up (width 0: none)
        uint64_t value;
        int width;
    } cases[] = {
        {0, 0, 0, 0, 0},           {kRecordInUse, 0, 0, 0, 0},  {kRecordDirectory, 0, 0, 0, 0},
        {kRecordInUse, 7, 0, 0, 0}, {0, 0, 0x04, 0x3FE, 2},      {0, 0, 0x06, 9, 2},
        {0, 0, 0x14, 0xFFFF, 2},   {0, 0, 510, 0xABCD, 2},      {0, 0, 0x00, 0x44414142, 4},
    };
    for (const Case& c : cases) {
        Fixture f;
        RecordLayout layout;
        layout.flags = c.flags;
        layout.baseRef = c.baseRef;
        layout.attrs = {StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"x")};
        f.image.SetRecord(kNumber, layout);
        Bytes raw = f.image.EncodeRecord(kNumber);
        if (c.width) PutLE(raw, c.at, c.value, c.width);
        f.image.SetRawRecord(kNumber, raw);
        const Bytes before = raw;
        NTFSRecordHeader header = ReadRecordHeader(raw.data(), raw.size());
        EXPECT_EQ(raw, before) << c.at;
        LogCapture log;
        const bool loaded = f.Read(4);
        const auto lines = log.Lines();
        const bool quiet = std::none_of(lines.begin(), lines.end(),
                                        [](const std::wstring& line) { return line.rfind(L"ERROR", 0) == 0; });
        EXPECT_EQ(header.sound, loaded && quiet) << c.at << " " << c.value;
        if (!loaded) continue;
        EXPECT_EQ(header.IsDeletedFile(),
                  f.record->IsDeleted() && !f.record->IsDirectory() && f.record->GetBaseRecordRef() == 0)
            << c.flags << " " << c.baseRef;
    }
}

TEST(FileRecord, DeviceFailureGivesNoRecord) {
    VolumeImage image;
    auto bytes = image.Build();
    FaultPlan plan;
    plan.rangeBegin = image.MftByteOnVolume(kNumber * 1024);
    plan.rangeEnd = plan.rangeBegin + 1;
    NTFSVolume volume(std::make_unique<FaultDevice>(OpenImage(bytes), plan), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK());
    NTFSFileRecord record(&volume);
    LogCapture log;
    EXPECT_FALSE(record.ReadFileRecord(kNumber));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: 20. ")), 1u);
    EXPECT_EQ(record.GetFileRef(), kNTFSNoRecord);
    EXPECT_FALSE(record.ParseAttrs());
    // Past the end of the device (a short read) is the same failure.
    EXPECT_FALSE(record.ReadFileRecord(1000000));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: 1000000. ")), 1u);
}

TEST(FileRecord, MaskSelectsTheTypesBuilt) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"a.txt"), ResidentAttr(0x80, Bytes(10, 1)),
           ResidentAttr(0x40, Bytes(16, 0))});
    ASSERT_TRUE(f.Read(4));
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_NE(f.record->FindFirstAttr(0x10), nullptr);
    EXPECT_NE(f.record->FindFirstAttr(0x30), nullptr);
    EXPECT_EQ(f.record->FindFirstAttr(0x40), nullptr);
    EXPECT_EQ(f.record->FindStream(), nullptr);
    // A second parse of the same bytes with the data mask.
    f.record->SetAttrMask(kNTFSMaskData);
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_EQ(f.record->FindFirstAttr(0x30), nullptr);
    ASSERT_NE(f.record->FindStream(), nullptr);
    EXPECT_EQ(f.record->FindStream()->GetDataSize(), 10u);
    EXPECT_EQ(f.record->FindFirstAttr(0x05), nullptr);
    EXPECT_EQ(f.record->FindFirstAttr(0x110), nullptr);
    // The data asked for after the names: built beside them, nothing built twice.
    f.record->SetAttrMask(kNTFSMaskFileName);
    ASSERT_TRUE(f.record->ParseAttrs());
    ASSERT_TRUE(f.record->ParseMoreAttrs(kNTFSMaskData));
    EXPECT_EQ(Name(*f.record), L"a.txt");
    ASSERT_NE(f.record->FindStream(), nullptr);
    EXPECT_EQ(f.record->FindStream()->GetDataSize(), 10u);
    EXPECT_EQ(f.record->FindFirstAttr(0x40), nullptr);
    ASSERT_NE(f.record->FindFirstAttr(0x10), nullptr);
    EXPECT_EQ(f.record->FindNextAttr(0x10), nullptr);
}

TEST(FileRecord, VolumeRecordWithMask0x60) {
    Fixture f;
    ASSERT_TRUE(f.Read(0x60, 3));
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_NE(f.record->FindFirstAttr(0x10), nullptr);
    EXPECT_NE(f.record->FindFirstAttr(0x60), nullptr);
    EXPECT_NE(f.record->FindFirstAttr(0x70), nullptr);
    EXPECT_EQ(f.record->FindFirstAttr(0x30), nullptr);
}

TEST(FileRecord, Win32NameComesBeforeDosName) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"LONGNA~1.TXT", kNameDos),
           FileNameAttr(5, L"long name.txt", kNameWin32)});
    ASSERT_TRUE(f.Read(4));
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_EQ(Name(*f.record), L"long name.txt");

    Fixture dosOnly;
    dosOnly.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"SHORT.TXT", kNameDos)});
    ASSERT_TRUE(dosOnly.Read(4));
    ASSERT_TRUE(dosOnly.record->ParseAttrs());
    wchar_t buffer[261];
    EXPECT_EQ(dosOnly.record->GetFileName(buffer, 260), 0);
}

TEST(FileRecord, NameBufferTooSmallGivesMinusLength) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"0123456789")});
    ASSERT_TRUE(f.Read(4));
    ASSERT_TRUE(f.record->ParseAttrs());
    wchar_t buffer[8] = {L'q', L'q', L'q', L'q', L'q', L'q', L'q', L'q'};
    EXPECT_EQ(f.record->GetFileName(buffer, 5), -10);
    EXPECT_EQ(buffer[0], L'q');
    wchar_t fits[11];
    EXPECT_EQ(f.record->GetFileName(fits, 10), 10);
    EXPECT_EQ(std::wstring(fits), L"0123456789");
}

TEST(FileRecord, TypeOutsideTheTableFailsUnderEveryMaskWhenSelected) {
    for (uint32_t mask : {0x07u, 0x83u, 0x63u, 0xFFFFFFFFu}) {
        Fixture f;
        f.Set({StandardInfoAttr(1, 2, 3), ResidentAttr(0x210, Bytes(8, 0)), FileNameAttr(5, L"after")});
        ASSERT_TRUE(f.Read(mask));
        LogCapture log;
        EXPECT_FALSE(f.record->ParseAttrs()) << mask;
        EXPECT_EQ(log.Count(LogCapture::Error(L"Invalid Attribute Type: 0x0210. ")), 1u);
        // What was built before it stays.
        EXPECT_NE(f.record->FindFirstAttr(0x10), nullptr);
    }
    Fixture skipped;
    skipped.Set({StandardInfoAttr(1, 2, 3), ResidentAttr(0x300, Bytes(8, 0)), FileNameAttr(5, L"after")});
    ASSERT_TRUE(skipped.Read(0x07));
    EXPECT_TRUE(skipped.record->ParseAttrs());
    EXPECT_EQ(Name(*skipped.record), L"after");
}

TEST(FileRecord, FindStreamByName) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"s"), ResidentAttr(0x80, Bytes(3, 1), L"ads"),
           ResidentAttr(0x80, Bytes(7, 2)), ResidentAttr(0x80, Bytes(5, 3), L"Ads")});
    ASSERT_TRUE(f.Read(0x80));
    ASSERT_TRUE(f.record->ParseAttrs());
    ASSERT_NE(f.record->FindStream(), nullptr);
    EXPECT_EQ(f.record->FindStream()->GetDataSize(), 7u);
    ASSERT_NE(f.record->FindStream(L"ads"), nullptr);
    EXPECT_EQ(f.record->FindStream(L"ads")->GetDataSize(), 3u);
    EXPECT_EQ(f.record->FindStream(L"Ads")->GetDataSize(), 5u);
    EXPECT_EQ(f.record->FindStream(L"ADS"), nullptr);
}

TEST(FileRecord, WalkEndsAtAShortOrOverlongAttribute) {
    for (uint32_t badLength : {0u, 8u, 0x1000u}) {
        Fixture f;
        Bytes bad = ResidentAttr(0x80, Bytes(8, 0));
        PutLE(bad, 0x04, badLength, 4);
        f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(5, L"kept"), bad, ResidentAttr(0x80, Bytes(3, 0))});
        ASSERT_TRUE(f.Read());
        EXPECT_TRUE(f.record->ParseAttrs()) << badLength;
        EXPECT_EQ(Name(*f.record), L"kept");
        EXPECT_EQ(f.record->FindStream(), nullptr);
    }
}

TEST(FileRecord, AttributeWhoseNameOrValueLiesOutsideIsRefused) {
    struct Case {
        size_t at;
        uint64_t value;
        int width;
    } cases[] = {{0x14, 0x200, 2}, {0x10, 0x10000, 4}, {0x0A, 0x3F0, 2}};
    for (const Case& c : cases) {
        Fixture f;
        Bytes data = ResidentAttr(0x80, Bytes(8, 0), L"n");
        PutLE(data, c.at, c.value, c.width);
        f.Set({StandardInfoAttr(1, 2, 3), data});
        ASSERT_TRUE(f.Read(0x80));
        LogCapture log;
        EXPECT_FALSE(f.record->ParseAttrs()) << c.at;
        EXPECT_EQ(log.Count(LogCapture::Error(L"Parsing attribute error: 0x0080. ")), 1u);
    }
    // A file name whose name runs past its value.
    Fixture f;
    Bytes name = FileNameAttr(5, L"abc");
    PutLE(name, 0x18 + 0x40, 40, 1);
    f.Set({StandardInfoAttr(1, 2, 3), name});
    ASSERT_TRUE(f.Read(4));
    EXPECT_FALSE(f.record->ParseAttrs());
}

TEST(FileRecord, FlagsTimesAndParent) {
    Fixture f;
    f.Set({StandardInfoAttr(0x01D0000000000001, 0x01D0000000000002, 0x01D0000000000003, 0x800 | 0x4000 | 0x2),
           FileNameAttr(0x0005000000000042ull, L"dir", kNameWin32, true)},
          kRecordDirectory);
    ASSERT_TRUE(f.Read(4));
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_TRUE(f.record->IsDeleted());
    EXPECT_TRUE(f.record->IsDirectory());
    EXPECT_EQ(f.record->GetParentRef(), 0x42u);
    EXPECT_TRUE(f.record->IsCompressed());
    EXPECT_TRUE(f.record->IsEncrypted());
    EXPECT_TRUE(f.record->IsHidden());
    EXPECT_FALSE(f.record->IsReadOnly());
    uint64_t write = 0, create = 0, access = 0;
    f.record->GetFileTime(&write, &create, &access);  // as stored, UTC
    EXPECT_EQ(write, 0x01D0000000000002u);
    EXPECT_EQ(create, 0x01D0000000000001u);
    EXPECT_EQ(access, 0x01D0000000000003u);

    Fixture bare;
    bare.Set({FileNameAttr(5, L"bare")});
    ASSERT_TRUE(bare.Read(4));
    ASSERT_TRUE(bare.record->ParseAttrs());
    write = create = 7;
    bare.record->GetFileTime(&write, &create);
    EXPECT_EQ(write, 0u);
    EXPECT_EQ(create, 0u);
    EXPECT_FALSE(bare.record->IsCompressed());
    EXPECT_FALSE(bare.record->IsDeleted());
}

TEST(FileRecord, LoadFromCallerBytesMatchesReadingByNumber) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(7, L"loaded.txt"), ResidentAttr(0x80, Bytes(33, 9))}, 0);
    ASSERT_TRUE(f.Read(0x84));
    Bytes onDisk(f.bytes->begin() + static_cast<std::ptrdiff_t>(f.image.MftByteOnVolume(kNumber * 1024)),
                 f.bytes->begin() + static_cast<std::ptrdiff_t>(f.image.MftByteOnVolume(kNumber * 1024) + 1024));
    NTFSFileRecord loaded(f.volume.get());
    loaded.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
    ASSERT_TRUE(loaded.LoadFileRecord(kNumber, onDisk.data(), onDisk.size()));
    ASSERT_TRUE(loaded.ParseAttrs());
    ASSERT_TRUE(f.record->ParseAttrs());
    EXPECT_EQ(loaded.GetFileRef(), kNumber);
    EXPECT_EQ(Name(loaded), L"loaded.txt");
    EXPECT_EQ(loaded.IsDeleted(), f.record->IsDeleted());
    EXPECT_EQ(loaded.GetParentRef(), 7u);
    EXPECT_EQ(loaded.FindStream()->GetDataSize(), 33u);

    LogCapture log;
    EXPECT_FALSE(loaded.LoadFileRecord(21, onDisk.data(), 512));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: 21. ")), 1u);
    EXPECT_EQ(loaded.GetFileRef(), kNTFSNoRecord);
    Bytes zeros(1024, 0);
    EXPECT_FALSE(loaded.LoadFileRecord(22, zeros.data(), zeros.size()));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Invalid file record. ")), 1u);
    EXPECT_EQ(loaded.GetFileRef(), 22u);
    onDisk[1022] ^= 1;
    EXPECT_FALSE(loaded.LoadFileRecord(23, onDisk.data(), onDisk.size()));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to update sequence number. ")), 1u);
}

TEST(FileRecord, LoadInPlaceFixesUpTheLentBytesAndReadsThemThere) {
    Fixture f;
    f.Set({StandardInfoAttr(1, 2, 3), FileNameAttr(7, L"lent.txt"), ResidentAttr(0x80, Bytes(21, 5))}, 0);
    ASSERT_TRUE(f.Read(0x84));
    const size_t at = static_cast<size_t>(f.image.MftByteOnVolume(kNumber * 1024));
    Bytes lent(f.bytes->begin() + static_cast<std::ptrdiff_t>(at),
               f.bytes->begin() + static_cast<std::ptrdiff_t>(at + 1024));
    NTFSFileRecord record(f.volume.get());
    record.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
    ASSERT_TRUE(record.LoadFileRecordInPlace(kNumber, lent.data(), lent.size()));
    ASSERT_TRUE(record.ParseAttrs());
    EXPECT_EQ(Name(record), L"lent.txt");
    EXPECT_EQ(record.GetParentRef(), 7u);
    EXPECT_EQ(record.FindStream()->GetDataSize(), 21u);
    // The record reads the caller's bytes, fixed up: the same bytes a read by number gives.
    EXPECT_EQ(record.GetBytes().data(), lent.data());
    const ByteReader read = f.record->GetBytes();
    EXPECT_EQ(Bytes(lent), Bytes(read.data(), read.data() + read.size()));

    // Fixed-up bytes no longer end their sectors in the update sequence number.
    LogCapture log;
    EXPECT_FALSE(record.LoadFileRecordInPlace(kNumber, lent.data(), lent.size()));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to update sequence number. ")), 1u);
    EXPECT_EQ(record.GetBytes().size(), 0u);
    EXPECT_FALSE(record.LoadFileRecordInPlace(kNumber, lent.data(), 512));
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to read file record: " + std::to_wstring(kNumber) + L". ")), 1u);
}

#include <gtest/gtest.h>

#include <map>

#include "ScanFixtures.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "scan/FileScanTask.h"
#include "scan/Recoverability.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

constexpr uint32_t kCluster = 4096;
constexpr uint64_t kVolumeClusters = 200;

RecordLayout DeletedFile(const std::wstring& name, std::optional<Bytes> data) {
    RecordLayout layout;
    layout.flags = 0;
    layout.attrs.push_back(StandardInfoAttr(1, 2, 3));
    layout.attrs.push_back(FileNameAttr(5, name));
    if (data) layout.attrs.push_back(std::move(*data));
    return layout;
}

Bytes Stream(const std::vector<Run>& runs, uint64_t size, uint16_t flags = 0, uint16_t unit = 0) {
    return NonResidentAttr(0x80, runs, kCluster, size, 0, L"", flags, unit);
}

// A volume of `clusters` clusters whose $Bitmap (resident, record 6; without $DATA unless
// `withBitmap`) marks `used` in use, and one deleted file per case.
std::shared_ptr<const Bytes> BuildVolume(const std::vector<uint64_t>& used, bool withBitmap = true,
                                         uint64_t clusters = kVolumeClusters) {
    VolumeImage image;
    image.WriteAt((clusters - 1) * kCluster, Bytes(1, 0));
    RecordLayout bitmap;
    if (withBitmap) {
        Bytes bits(clusters / 64 * 8 + 8, 0);
        for (uint64_t lcn : used) bits[lcn / 8] = static_cast<uint8_t>(bits[lcn / 8] | (1u << (lcn % 8)));
        bitmap.attrs.push_back(ResidentAttr(0x80, bits));
    }
    image.SetRecord(6, bitmap);
    image.SetRecord(20, DeletedFile(L"resident.txt", ResidentAttr(0x80, Pattern(300, 1))));
    image.SetRecord(21, DeletedFile(L"free.bin", Stream({{100, 3}}, 3 * kCluster)));
    image.SetRecord(22, DeletedFile(L"quarter.bin", Stream({{110, 4}}, 4 * kCluster)));
    image.SetRecord(23, DeletedFile(L"taken.bin", Stream({{120, 2}}, 2 * kCluster - 5)));
    // Sparse runs cost nothing: 2 of the 3 stored clusters are free.
    image.SetRecord(24, DeletedFile(L"sparse.bin", Stream({{130, 2}, {-1, 4}, {140, 1}}, 7 * kCluster)));
    // Two clusters on the volume (free), two past its end.
    image.SetRecord(25, DeletedFile(L"past-end.bin", Stream({{198, 4}}, 4 * kCluster)));
    // The run list names 2 of the 4 clusters the data size needs (a lost piece).
    image.SetRecord(26, DeletedFile(L"lost-piece.bin", Stream({{150, 2}}, 4 * kCluster)));
    // Compressed, units of 16 clusters: the stored clusters count, the unit's sparse rest not.
    image.SetRecord(27, DeletedFile(L"compressed.txt", Stream({{160, 2}, {-1, 14}}, 5000, 0x0001, 4)));
    // Only clusters under the data size count: the 3 past it are in use and do not matter.
    image.SetRecord(28, DeletedFile(L"slack.bin", Stream({{170, 4}}, 100)));
    image.SetRecord(29, DeletedFile(L"no-data.bin", std::nullopt));
    image.SetRecord(30, DeletedFile(L"empty.bin", Stream({}, 0)));
    return image.Build();
}

std::map<std::wstring, std::wstring> Scan(const VolumeSource& source, RecoverabilityMode mode) {
    auto log = std::make_shared<CollectingNotify::Log>();
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<CollectingNotify>(log));
        task.SetVolume(source);
        task.SetFilters(L"");
        task.SetRecoverability(mode);
        EXPECT_TRUE(task.Start());
        task.Wait();
    }
    std::map<std::wstring, std::wstring> found;
    for (const DeletedFileInfo& file : log->files) found[file.GetName()] = RecoverabilityText(file.GetRecoverability());
    return found;
}

std::map<std::wstring, std::wstring> Scan(const std::shared_ptr<const Bytes>& image, RecoverabilityMode mode) {
    return Scan(MemorySource(image), mode);
}

}  // namespace

TEST(Recoverability, EveryKindOfStreamAgainstTheBitmap) {
    const std::vector<uint64_t> used = {111, 120, 121, 140, 160, 171, 172, 173};
    const std::map<std::wstring, std::wstring> expected = {
        {L"resident.txt", L"intact"}, {L"free.bin", L"intact"},         {L"quarter.bin", L"75%"},
        {L"taken.bin", L"overwritten"}, {L"sparse.bin", L"66%"},       {L"past-end.bin", L"50%"},
        {L"lost-piece.bin", L"50%"},    {L"compressed.txt", L"50%"},   {L"slack.bin", L"intact"},
        {L"no-data.bin", L"unknown"},   {L"empty.bin", L"intact"},
    };
    auto image = BuildVolume(used);
    EXPECT_EQ(Scan(image, RecoverabilityMode::Report), expected);

    std::map<std::wstring, std::wstring> intact;
    for (const auto& [name, text] : expected)
        if (text == L"intact") intact[name] = text;
    EXPECT_EQ(Scan(image, RecoverabilityMode::IntactOnly), intact);

    // Off: the bitmap is not read and nothing is judged.
    for (const auto& [name, text] : Scan(image, RecoverabilityMode::Off)) EXPECT_EQ(text, L"unknown") << name;
    // A $Bitmap record without its $DATA: every file is unknown, and none is listed as intact.
    auto blind = BuildVolume(used, false);
    for (const auto& [name, text] : Scan(blind, RecoverabilityMode::Report)) EXPECT_EQ(text, L"unknown") << name;
    EXPECT_TRUE(Scan(blind, RecoverabilityMode::IntactOnly).empty());
}

TEST(Recoverability, WhatTheSourceDoesNotHoldOrHoldsDamagedIsNeverIntact) {
    const std::vector<uint64_t> used = {111, 120, 121, 140, 160, 171, 172, 173};
    auto image = BuildVolume(used);
    // The image ends after cluster 149; the chunk holding cluster 112 failed its checksum.
    FaultPlan plan;
    plan.damaged = {{112 * kCluster, 32768}};
    VolumeSource cut = VolumeSource::FromDevice(
        [image, plan] { return std::make_unique<FaultDevice>(LimitDevice(OpenImage(image), 150 * kCluster), plan); },
        L"T:\\");
    const std::map<std::wstring, std::wstring> expected = {
        {L"resident.txt", L"intact"},     {L"free.bin", L"intact"},           {L"quarter.bin", L"damaged"},
        {L"taken.bin", L"overwritten"},   {L"sparse.bin", L"66%"},            {L"past-end.bin", L"overwritten"},
        {L"lost-piece.bin", L"overwritten"}, {L"compressed.txt", L"overwritten"}, {L"slack.bin", L"overwritten"},
        {L"no-data.bin", L"unknown"},     {L"empty.bin", L"intact"},
    };
    EXPECT_EQ(Scan(cut, RecoverabilityMode::Report), expected);
    const std::map<std::wstring, std::wstring> intact = {
        {L"resident.txt", L"intact"}, {L"free.bin", L"intact"}, {L"empty.bin", L"intact"}};
    EXPECT_EQ(Scan(cut, RecoverabilityMode::IntactOnly), intact);
}

TEST(Recoverability, BitmapReadInBlocksCountsAsTheWholeOne) {
    // 2000 clusters in blocks of 64, 4 kept: blocks are dropped and read again.
    constexpr uint64_t kClusters = 2000;
    std::vector<uint64_t> used;
    for (uint64_t lcn = 0; lcn < kClusters; ++lcn)
        if ((lcn * 37 + lcn / 9) % 5 < 2) used.push_back(lcn);
    auto image = BuildVolume(used, true, kClusters);
    auto volume = OpenMemoryVolume(image);
    NTFSClusterBitmap whole(*volume);
    NTFSClusterBitmap blocks(*volume, 0, 8, 4);
    ASSERT_TRUE(whole.IsReadable());
    ASSERT_TRUE(whole.IsHeldWhole());
    ASSERT_FALSE(blocks.IsHeldWhole());
    // Clusters past the volume's end count as in use.
    std::vector<uint64_t> before(kClusters + 200 + 1, 0);  // clusters in use below each LCN
    std::vector<bool> inUse(kClusters + 200, true);
    for (uint64_t lcn = 0; lcn < kClusters; ++lcn) inUse[lcn] = false;
    for (uint64_t lcn : used) inUse[lcn] = true;
    for (size_t i = 0; i < inUse.size(); ++i) before[i + 1] = before[i] + inUse[i];
    for (uint64_t first = 0; first < kClusters + 10; first += 1 + first % 5) {
        for (uint64_t count = 0; first + count <= inUse.size(); count += 1 + count / 3) {
            const uint64_t naive = before[first + count] - before[first];
            ASSERT_EQ(whole.CountInUse(first, count), naive) << first << "+" << count;
            ASSERT_EQ(blocks.CountInUse(first, count), naive) << first << "+" << count;
        }
    }
    EXPECT_EQ(whole.CountInUse(UINT64_MAX - 1, 5), 5u);
}

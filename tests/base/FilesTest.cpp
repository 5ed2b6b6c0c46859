#include <gtest/gtest.h>

#include <string>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "base/os/Files.h"

using namespace Vorlaq;

namespace {
std::wstring Scratch(const char* name) { return Utf8ToWide(std::string(QUORRET_BINARY_DIR) + "/" + name); }
}

TEST(Files, CreateWriteReadBackThroughDevice) {
    std::wstring path = Scratch("files-test.bin");
    uint32_t error = 0;
    auto file = WritableFile::CreateAlways(path, &error);
    ASSERT_TRUE(file) << error;
    uint32_t written = 0;
    ASSERT_TRUE(file->Write("0123456789", 10, &written, &error));
    EXPECT_EQ(written, 10u);
    ASSERT_TRUE(file->Close(&error));

    uint64_t size = 0;
    ASSERT_TRUE(QueryFileSize(path, &size, &error));
    EXPECT_EQ(size, 10u);

    auto device = OpenPathDevice(path, 3, &error);
    ASSERT_TRUE(device);
    char buffer[16] = {};
    uint32_t got = 0;
    ASSERT_TRUE(device->ReadAt(2, buffer, 16, &got));
    EXPECT_EQ(got, 5u);  // the end of the file cuts the read short; base offset 3 + 2 = '5'
    EXPECT_EQ(std::string(buffer, got), "56789");
    device.reset();

    EXPECT_TRUE(RemoveFilePath(path, &error));
    EXPECT_FALSE(QueryFileAttributes(path, &error));
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST(Files, MissingThingsReportWindowsErrorCodes) {
    uint32_t error = 0;
    EXPECT_FALSE(OpenPathDevice(Scratch("no-such-image.img"), 0, &error));
    EXPECT_EQ(error, kErrorFileNotFound);
    EXPECT_FALSE(WritableFile::CreateAlways(Scratch("no-such-dir/x.bin"), &error));
    EXPECT_TRUE(error == kErrorPathNotFound || error == kErrorFileNotFound) << error;
    EXPECT_TRUE(CreateDirectoryTree(Scratch("tree/a/b"), &error));
    EXPECT_TRUE(IsDirectoryPath(Scratch("tree/a/b")));
    EXPECT_TRUE(QueryFileAttributes(Scratch("tree/a"), &error));
}

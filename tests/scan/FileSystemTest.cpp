#include <gtest/gtest.h>

#include <map>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "scan/FileSystem.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using QuorretTest::LogCapture;

TEST(FileSystem, FileErrorTexts) {
    const std::map<uint32_t, std::wstring> table = {
        {2, L"File not found: %s"},        {3, L"Path not found: %s"},      {15, L"Path not found: %s"},
        {53, L"Path not found: %s"},       {1921, L"Path not found: %s"},   {5, L"Access denied: %s"},
        {29, L"Write file error: %s"},     {30, L"Read file error: %s"},    {32, L"Sharing violation: %s"},
        {33, L"Lock violation: %s"},       {38, L"EOF reached: %s"},        {39, L"Disk is full: %s"},
        {112, L"Disk is full: %s"},        {80, L"File already exists: %s"}, {183, L"File already exists: %s"},
        {82, L"Path not found: %s"},       {123, L"Path syntax error: %s"}, {161, L"Path syntax error: %s"},
        {206, L"Path syntax error: %s"},   {267, L"Path syntax error: %s"}, {131, L"Negative seek: %s"},
        {145, L"Directory not empty: %s"}, {6009, L"File is read-only: %s"}, {0, L"File error: %s"},
        {1, L"File error: %s"},            {87, L"File error: %s"},         {0xFFFFFFFF, L"File error: %s"},
    };
    for (const auto& [code, text] : table) EXPECT_EQ(FileErrorText(code), text) << code;

    // The path as the system spells it; on Linux the system's own reason for the last failure too.
    LogCapture log;
    LogFileError(112, L"E:\\out\\a.txt");
    EXPECT_EQ(log.Lines(),
              std::vector<std::wstring>{LogCapture::Error(L"Disk is full: " + NativePathText(L"E:\\out\\a.txt"))});
#ifndef _WIN32
    uint32_t error = 0;
    EXPECT_FALSE(CreateDirectoryTree(L"/proc/self/status/x", &error));
    EXPECT_EQ(FileErrorMessage(error, L"\\proc\\self\\status\\x"),
              L"Path not found: /proc/self/status/x (Not a directory)");
#endif
}

TEST(FileSystem, FileExistsForFilesAndFoldersOnly) {
    std::wstring dir = Utf8ToWide(QUORRET_BINARY_DIR) + L"/scan-exists";
    uint32_t error = 0;
    ASSERT_TRUE(CreateDirectoryTree(dir, &error));
    std::wstring file = dir + L"/present.txt";
    auto out = WritableFile::CreateAlways(file, &error);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Close(&error));

    LogCapture log;
    EXPECT_TRUE(FileExists(dir));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir + L"/absent.txt"));
    EXPECT_FALSE(FileExists(dir + L"/absent/deeper.txt"));
    EXPECT_TRUE(log.Lines().empty());  // "not there" is an answer, not an error
}

TEST(FileSystem, EnumLocalDrivesKeepsFixedAndRemovableFromC) {
    std::vector<std::wstring> asked;
    auto onlyC = [&](const std::wstring& root) -> uint32_t {
        asked.push_back(root);
        return root == L"C:\\" ? 3 : 1;
    };
    EXPECT_EQ(EnumLocalDrives(onlyC), std::vector<std::wstring>{L"C:\\"});
    ASSERT_EQ(asked.size(), 24u);  // C to Z, never A or B
    EXPECT_EQ(asked.front(), L"C:\\");
    EXPECT_EQ(asked.back(), L"Z:\\");

    auto mixed = [](const std::wstring& root) -> uint32_t {
        switch (root[0]) {
        case L'E': return 2;  // removable
        case L'D': return 3;  // fixed
        case L'F': return 4;  // network
        case L'G': return 5;  // optical
        case L'H': return 6;  // RAM disk
        default: return 0;
        }
    };
    EXPECT_EQ(EnumLocalDrives(mixed), (std::vector<std::wstring>{L"D:\\", L"E:\\"}));

    // The system's own answer: roots only, in letter order (none where there are no drive letters).
    std::vector<std::wstring> real = EnumLocalDrives();
    for (size_t i = 0; i < real.size(); ++i) {
        ASSERT_EQ(real[i].size(), 3u);
        EXPECT_GE(real[i][0], L'C');
        if (i > 0) {
            EXPECT_LT(real[i - 1][0], real[i][0]);
        }
    }
}

// The log file's one generation: emptied at 10 MiB, kept below, created when missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/LogFileRoll.h"
#include "base/Utf16.h"
#include "base/os/Files.h"
#include "tests/support/LogCapture.h"

using QuorretTest::LogCapture;

using Vorlaq::DecideLogRoll;
using Vorlaq::EntryState;
using Vorlaq::LogRoll;

TEST(LogFileRoll, DecisionAtTheLimit)
{
    EXPECT_EQ(LogRoll::CreateEmpty, DecideLogRoll(EntryState::Absent, false, 0));
    EXPECT_EQ(LogRoll::Keep, DecideLogRoll(EntryState::Present, true, 0));
    EXPECT_EQ(LogRoll::Keep, DecideLogRoll(EntryState::Present, true, 10485759));
    EXPECT_EQ(LogRoll::CreateEmpty, DecideLogRoll(EntryState::Present, true, 10485760));
    EXPECT_EQ(LogRoll::CreateEmpty, DecideLogRoll(EntryState::Present, true, 0x100000000ull));  // above 4 GiB
    // A file that may be there, or whose size is unknown, is never discarded on a guess.
    EXPECT_EQ(LogRoll::Keep, DecideLogRoll(EntryState::Unknown, false, 0));
    EXPECT_EQ(LogRoll::Keep, DecideLogRoll(EntryState::Present, false, 0));
    EXPECT_EQ(LogRoll::CreateEmpty, DecideLogRoll(EntryState::Unknown, true, 10485760));
}

namespace {

class LogFileRollOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        path_ = std::string(QUORRET_BINARY_DIR) + "/app-logroll-" + name + ".log";
        std::remove(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::wstring WidePath() const { return Vorlaq::Utf8ToWide(path_); }
    void Fill(uint64_t size)
    {
        std::ofstream out(path_, std::ios::binary);
        const std::string block(4096, 'x');
        for (uint64_t left = size; left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
            out.write(block.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
    }
    uint64_t Size() const
    {
        uint64_t size = 0;
        uint32_t error = 0;
        EXPECT_TRUE(Vorlaq::QueryFileSize(WidePath(), &size, &error)) << error;
        return size;
    }

    std::string path_;
};

}  // namespace

TEST_F(LogFileRollOnDisk, MissingFileIsCreatedEmpty)
{
    EXPECT_TRUE(Vorlaq::RollLogFile(WidePath()));
    EXPECT_EQ(0u, Size());
}

TEST_F(LogFileRollOnDisk, FileAtTheLimitIsEmptied)
{
    Fill(Vorlaq::kLogSizeLimit);
    EXPECT_TRUE(Vorlaq::RollLogFile(WidePath()));
    EXPECT_EQ(0u, Size());
}

TEST_F(LogFileRollOnDisk, FileBelowTheLimitIsKept)
{
    Fill(Vorlaq::kLogSizeLimit - 1);
    EXPECT_FALSE(Vorlaq::RollLogFile(WidePath()));
    EXPECT_EQ(Vorlaq::kLogSizeLimit - 1, Size());
}

TEST_F(LogFileRollOnDisk, UncreatableFileIsLoggedAndStartUpGoesOn)
{
    LogCapture log;
    const std::wstring inMissingFolder = WidePath() + L".missing\\KQR.log";
    EXPECT_FALSE(Vorlaq::RollLogFile(inMissingFolder));
    EXPECT_EQ(1u, log.Count(LogCapture::Error(L"Path not found: " + inMissingFolder)));
}

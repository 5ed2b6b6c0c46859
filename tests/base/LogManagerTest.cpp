#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/LogManager.h"
#include "base/Utf16.h"
#include "base/os/Files.h"

using namespace Vorlaq;

namespace {

class CaptureWriter : public LogWriter {
public:
    CaptureWriter(int kind, std::vector<std::wstring>* lines) : LogWriter(kind), lines_(lines) {}
    bool write(const std::wstring& line) override {
        lines_->push_back(line);
        return true;
    }

private:
    std::vector<std::wstring>* lines_;
};

// Registers a capturing writer for one test and removes it (by its own kind) afterwards.
class LogCapture {
public:
    explicit LogCapture(int kind = 9001) : writer_(new CaptureWriter(kind, &lines)) {
        LogManager::instance().addWriter(writer_);
    }
    ~LogCapture() { LogManager::instance().removeWriters(writer_); }
    std::vector<std::wstring> lines;

private:
    LogWriter* writer_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(LogManager, LineIsLevelWordTabMessageCrLf) {
    LogCapture capture;
    LogManager::instance().print(LogLevel::Info, L"Scan Finished");
    LogManager::instance().print(3, L"Failed to read file record: %I64u. ", uint64_t{77});
    LogManager::instance().print(7, L"odd level");
    ASSERT_EQ(capture.lines.size(), 3u);
    EXPECT_EQ(capture.lines[0], L"Info: \tScan Finished\r\n");
    EXPECT_EQ(capture.lines[1], L"ERROR: \tFailed to read file record: 77. \r\n");
    EXPECT_EQ(capture.lines[2], L"\todd level\r\n");
    EXPECT_EQ(LogManager::levelWord(1), L"Debug: ");
    EXPECT_EQ(LogManager::levelWord(2), L"Warning: ");
    EXPECT_EQ(LogManager::levelWord(4), L"FATAL: ");
}

TEST(LogManager, EmptyMessageWritesNothingAndLongOnesAreCut) {
    LogCapture capture;
    LogManager::instance().print(0, L"%s", L"");
    EXPECT_TRUE(capture.lines.empty());
    LogManager::instance().print(0, L"%s", std::wstring(10000, L'x'));
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].size(), std::wstring(L"Info: \t").size() + 4095 + 2);
}

TEST(LogManager, NullWriterIsRefusedAndRemovalGoesByKind) {
    EXPECT_FALSE(LogManager::instance().addWriter(nullptr));
    EXPECT_FALSE(LogManager::instance().removeWriters(nullptr));
    std::vector<std::wstring> a, b;
    auto* first = new CaptureWriter(4242, &a);
    auto* second = new CaptureWriter(4242, &b);
    LogManager::instance().addWriter(first);
    LogManager::instance().addWriter(second);
    LogManager::instance().print(0, L"both");
    CaptureWriter probe(4242, &a);
    EXPECT_TRUE(LogManager::instance().removeWriters(&probe));  // removes both registered writers
    LogManager::instance().print(0, L"neither");
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(b.size(), 1u);
}

TEST(LogManager, LinesFromTwoThreadsArriveWhole) {
    LogCapture capture;
    auto worker = [](wchar_t tag) {
        for (int i = 0; i < 500; ++i) LogManager::instance().print(0, L"%c line %d", tag, i);
    };
    std::thread t1(worker, L'A'), t2(worker, L'B');
    t1.join();
    t2.join();
    ASSERT_EQ(capture.lines.size(), 1000u);
    int nextA = 0, nextB = 0;
    for (const auto& line : capture.lines) {
        int& next = line[7] == L'A' ? nextA : nextB;
        EXPECT_EQ(line, FormatWide(L"Info: \t%c line %d\r\n", line[7], next));
        ++next;
    }
}

TEST(LogManager, DeferredLinesWaitForReplayAndOtherThreadsWriteAtOnce) {
    LogCapture capture;
    std::vector<LogLine> outer, inner;
    {
        LogDeferral deferOuter(outer);
        LogManager::instance().print(LogLevel::Error, L"first %d", 1);
        {
            LogDeferral deferInner(inner);
            LogManager::instance().print(LogLevel::Info, L"inner");
        }
        std::thread([] { LogManager::instance().print(LogLevel::Warning, L"elsewhere"); }).join();
        LogManager::instance().print(LogLevel::Info, L"second");
    }
    EXPECT_EQ(capture.lines, (std::vector<std::wstring>{L"Warning: \telsewhere\r\n"}));
    ASSERT_EQ(inner.size(), 1u);
    LogManager::instance().replay(outer);
    LogManager::instance().print(LogLevel::Info, L"after");
    EXPECT_EQ(capture.lines, (std::vector<std::wstring>{L"Warning: \telsewhere\r\n", L"ERROR: \tfirst 1\r\n",
                                                        L"Info: \tsecond\r\n", L"Info: \tafter\r\n"}));
}

TEST(FileLogWriter, AppendsToAnExistingFileAndNeverCreatesOne) {
    std::string path = std::string(QUORRET_BINARY_DIR) + "/filelogwriter-test.log";
    std::remove(path.c_str());
    FileLogWriter writer(2, Utf8ToWide(path));
    EXPECT_FALSE(writer.write(L"Info: \tnothing\r\n"));
    EXPECT_FALSE(std::ifstream(path).good()) << "the writer must not create the file";

    std::ofstream(path, std::ios::binary) << "old\r\n";
    EXPECT_TRUE(writer.write(L"Info: \tfirst\r\n"));
    EXPECT_TRUE(writer.write(L"ERROR: \tsecond\r\n"));
    EXPECT_FALSE(writer.write(L""));
    EXPECT_EQ(ReadAll(path), "old\r\nInfo: \tfirst\r\nERROR: \tsecond\r\n");

    std::remove(path.c_str());
    EXPECT_FALSE(writer.write(L"Info: \tlost\r\n"));
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST(FileLogWriter, EmptyPathFails) {
    FileLogWriter writer(2, L"");
    EXPECT_FALSE(writer.write(L"Info: \tx\r\n"));
}

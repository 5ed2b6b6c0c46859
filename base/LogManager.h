#pragma once
// The process-wide log: every line is "<level word>" TAB message CR LF, handed to each
// registered writer in registration order under one lock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/WideFormat.h"

namespace Vorlaq {

enum class LogLevel : uint32_t { Info = 0, Debug = 1, Warning = 2, Error = 3, Fatal = 4 };

class LogWriter {
public:
    explicit LogWriter(int kind) : kind_(kind) {}
    virtual ~LogWriter() = default;
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    virtual bool write(const std::wstring& line) = 0;
    int kind() const { return kind_; }

private:
    int kind_ = -1;
};

// Standard output, as UTF-8.
class OutputLogWriter : public LogWriter {
public:
    explicit OutputLogWriter(int kind) : LogWriter(kind) {}
    bool write(const std::wstring& line) override;
};

// Takes lines for the debugger and emits nothing.
class DebugOutputLogWriter : public LogWriter {
public:
    explicit DebugOutputLogWriter(int kind) : LogWriter(kind) {}
    bool write(const std::wstring& line) override { return !line.empty(); }
};

// Appends each line to an existing file, opening and closing it every time, so other programs
// may read or remove the file meanwhile; a missing file is never re-created.
class FileLogWriter : public LogWriter {
public:
    FileLogWriter(int kind, std::wstring path) : LogWriter(kind), path_(std::move(path)) {}
    bool write(const std::wstring& line) override;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// A line printed while deferred: written later by LogManager::replay.
struct LogLine {
    uint32_t level = 0;
    std::wstring message;
};

// While it lives, lines printed on the thread that made it are appended to `lines` instead of
// written, so work done on several threads can be logged in the order it would have run on one.
class LogDeferral {
public:
    explicit LogDeferral(std::vector<LogLine>& lines);
    ~LogDeferral();
    LogDeferral(const LogDeferral&) = delete;
    LogDeferral& operator=(const LogDeferral&) = delete;

private:
    std::vector<LogLine>* outer_;
};

class LogManager {
public:
    static LogManager& instance();

    bool addWriter(LogWriter* writer);
    bool removeWriters(LogWriter* writer);

    template <typename... Args>
    void print(LogLevel level, std::wstring_view format, const Args&... args) {
        print(static_cast<uint32_t>(level), format, args...);
    }
    template <typename... Args>
    void print(uint32_t level, std::wstring_view format, const Args&... args) {
        if (std::vector<LogLine>* deferred = deferredLines()) {
            deferred->push_back({level, FormatWide(format, args...)});
            return;
        }
        std::lock_guard<std::recursive_mutex> hold(lock_);
        dispatch(level, FormatWide(format, args...));
    }
    // Writes lines kept by a LogDeferral, in their order.
    void replay(std::span<const LogLine> lines);

    // The level's word at the start of a line ("Info: ", "ERROR: "...); empty for unknown levels.
    static std::wstring_view levelWord(uint32_t level);

    // Lines at the error level or above that the calling thread has written, replayed ones
    // included, since it began: a worker's errors are the difference over its work.
    static uint64_t errorsWrittenOnThisThread() { return threadErrors(); }

private:
    static uint64_t& threadErrors();
    friend class LogDeferral;

    LogManager() = default;
    // Where this thread's lines go while a LogDeferral lives; null otherwise.
    static std::vector<LogLine>*& deferredLines();
    void dispatch(uint32_t level, std::wstring message);

    std::recursive_mutex lock_;
    std::vector<std::unique_ptr<LogWriter>> writers_;
};

}  // namespace Vorlaq

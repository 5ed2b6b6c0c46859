#pragma once
// The process-wide log: every line is "<level word>" TAB message CR LF, handed to each
// registered writer in registration order under one lock.
#include <cstdint>
#include <memory>
#include <mutex>
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
        std::lock_guard<std::recursive_mutex> hold(lock_);
        dispatch(level, FormatWide(format, args...));
    }

    // The level's word at the start of a line ("Info: ", "ERROR: "...); empty for unknown levels.
    static std::wstring_view levelWord(uint32_t level);

private:
    LogManager() = default;
    void dispatch(uint32_t level, std::wstring message);

    std::recursive_mutex lock_;
    std::vector<std::unique_ptr<LogWriter>> writers_;
};

}  // namespace Vorlaq

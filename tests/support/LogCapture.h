#pragma once
// Collects the log lines written while it lives ("ERROR: \t...\r\n" as the sinks see them).
#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/LogManager.h"

namespace QuorretTest {

class LogCapture {
public:
    LogCapture() : writer_(new Writer(this)) { Vorlaq::LogManager::instance().addWriter(writer_); }
    ~LogCapture() { Vorlaq::LogManager::instance().removeWriters(writer_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::wstring> Lines() const {
        std::lock_guard<std::mutex> hold(lock_);
        return lines_;
    }
    void Clear() {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.clear();
    }
    // How many captured lines equal `line` exactly.
    size_t Count(const std::wstring& line) const {
        auto lines = Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    static std::wstring Error(const std::wstring& message) { return L"ERROR: \t" + message + L"\r\n"; }
    static std::wstring Info(const std::wstring& message) { return L"Info: \t" + message + L"\r\n"; }

private:
    class Writer : public Vorlaq::LogWriter {
    public:
        // A kind of its own per capture: writers are removed by kind, and two captures may be
        // alive at once (one inside the other).
        explicit Writer(LogCapture* owner) : LogWriter(NextKind()), owner_(owner) {}
        bool write(const std::wstring& line) override {
            std::lock_guard<std::mutex> hold(owner_->lock_);
            owner_->lines_.push_back(line);
            return true;
        }

    private:
        static int NextKind() {
            static std::atomic<int> next{7300};
            return ++next;
        }
        LogCapture* owner_;
    };

    mutable std::mutex lock_;
    std::vector<std::wstring> lines_;
    Vorlaq::LogWriter* writer_;
};

}  // namespace QuorretTest

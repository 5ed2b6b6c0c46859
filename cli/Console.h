#pragma once
// quorret-cli's two streams: results on standard output in large pieces, and on standard error
// the progress line (terminals only), messages and, with --verbose, the log.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/LogManager.h"

namespace Vorlaq {

class Console {
public:
    explicit Console(bool progressAllowed);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Result text; written once a large piece has gathered, and by Flush.
    void Out(std::wstring_view text);
    // The same, as UTF-8 already.
    void OutUtf8(std::string_view text);
    void Flush();
    // A message line on standard error (the newline is added); clears the progress line first.
    void Err(std::wstring_view line);
    // Replaces the progress line; does nothing unless standard error is a terminal.
    void Progress(const std::wstring& line);
    void ClearProgress();
    bool ShowsProgress() const { return progressAllowed_; }
    // True once a write to standard output failed: what follows it is lost.
    bool OutputLost();
    // Flushes and closes standard output. When a write to either stream failed, says so on
    // standard error and returns 1 in place of a `code` of 0; other codes stay.
    int Finish(int code);

private:
    void ClearProgressLocked();
    void FlushLocked();
    void NoteOutputFailure(uint32_t error);

    std::recursive_mutex lock_;
    std::string pending_;  // UTF-8
    bool progressAllowed_;
    bool sharedTerminal_;       // both streams show on one terminal: results clear the progress line
    size_t progressWidth_ = 0;  // characters of the progress line on screen, 0 when none
    bool outFailed_ = false;    // standard output lost text: nothing more is written to it
    bool errFailed_ = false;
    bool closed_ = false;       // Finish closed standard output
    std::wstring outReason_;
};

// Every log line on standard error (--verbose).
class StderrLogWriter : public LogWriter {
public:
    StderrLogWriter(int kind, Console& console) : LogWriter(kind), console_(console) {}
    bool write(const std::wstring& line) override;

private:
    Console& console_;
};

// Keeps the latest error lines, so a refused volume or a failed file can say why even when the
// log is not shown. Each line remembers the thread that logged it: a restore that runs beside a
// scan reports its own reasons, not the walk's.
class ErrorLogCapture : public LogWriter {
public:
    explicit ErrorLogCapture(int kind) : LogWriter(kind) {}
    bool write(const std::wstring& line) override;
    // The error messages (without the level word) since the last call, oldest first: all of
    // them, or only those the calling thread logged (the others stay).
    std::vector<std::wstring> Take();
    std::vector<std::wstring> TakeOwn();
    // Error lines written so far, kept or not.
    uint64_t Total();

private:
    static constexpr size_t kKeep = 16;
    std::mutex lock_;
    uint64_t total_ = 0;
    std::deque<std::pair<std::thread::id, std::wstring>> lines_;
};

}  // namespace Vorlaq

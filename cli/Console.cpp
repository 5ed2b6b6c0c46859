#include "cli/Console.h"

#include <algorithm>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "base/os/Terminal.h"
#include "cli/FieldText.h"

namespace Vorlaq {

namespace {
constexpr size_t kOutputPiece = 64 * 1024;

// A log line without its CR LF: the console adds its own line end.
std::wstring_view WithoutLineEnd(std::wstring_view line) {
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.remove_suffix(1);
    return line;
}
}  // namespace

Console::Console(bool progressAllowed)
    : progressAllowed_(progressAllowed && IsStandardErrorTerminal()),
      sharedTerminal_(progressAllowed_ && IsStandardOutputTerminal()) {}

Console::~Console() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    ClearProgressLocked();
    FlushLocked();
}

void Console::Out(std::wstring_view text) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    AppendUtf8(pending_, text);
    if (pending_.size() >= kOutputPiece) FlushLocked();
}

void Console::OutUtf8(std::string_view text) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    pending_ += text;
    if (pending_.size() >= kOutputPiece) FlushLocked();
}

void Console::Flush() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    FlushLocked();
}

void Console::FlushLocked() {
    if (pending_.empty()) return;
    if (sharedTerminal_) ClearProgressLocked();  // rows must not be glued to the progress line
    // After a failed write the rest would leave a gap in the middle: write nothing more.
    uint32_t error = kErrorWriteFault;
    if (!outFailed_ && !closed_ && !WriteStandardOutputUtf8(pending_, &error)) NoteOutputFailure(error);
    pending_.clear();
}

bool Console::OutputLost() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return outFailed_;
}

void Console::NoteOutputFailure(uint32_t error) {
    outFailed_ = true;
    outReason_ = SystemErrorReason(error);
}

int Console::Finish(int code) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    ClearProgressLocked();
    FlushLocked();
    uint32_t error = kErrorWriteFault;
    if (!closed_ && !CloseStandardOutput(&error) && !outFailed_) NoteOutputFailure(error);
    closed_ = true;
    if (!outFailed_ && !errFailed_) return code;
    if (outFailed_)
        WriteStandardError(L"quorret-cli: standard output could not be written" +
                           (outReason_.empty() ? std::wstring() : L" (" + outReason_ + L")") +
                           L": what it shows is incomplete.\n");
    return code == 0 ? 1 : code;
}

void Console::Err(std::wstring_view line) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    ClearProgressLocked();
    std::wstring text(line);
    text += L'\n';
    if (!WriteStandardError(text)) errFailed_ = true;
}

void Console::Progress(const std::wstring& line) {
    if (!progressAllowed_) return;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    std::wstring text = L"\r" + line;
    if (line.size() < progressWidth_) text.append(progressWidth_ - line.size(), L' ');
    WriteStandardError(text);
    progressWidth_ = line.size();
}

void Console::ClearProgress() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    ClearProgressLocked();
}

void Console::ClearProgressLocked() {
    if (progressWidth_ == 0) return;
    WriteStandardError(L"\r" + std::wstring(progressWidth_, L' ') + L"\r");
    progressWidth_ = 0;
}

bool StderrLogWriter::write(const std::wstring& line) {
    if (line.empty()) return false;
    // The tab after the level word is the log's own; the rest may quote what a volume stores.
    std::wstring_view text = WithoutLineEnd(line);
    std::wstring shown;
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = std::min(text.find(L'\t', begin), text.size());
        if (begin) shown += L'\t';
        shown += EscapeControls(text.substr(begin, end - begin));
        begin = end + 1;
    }
    console_.Err(shown);
    return true;
}

bool ErrorLogCapture::write(const std::wstring& line) {
    std::wstring_view error = LogManager::levelWord(static_cast<uint32_t>(LogLevel::Error));
    std::wstring_view text = WithoutLineEnd(line);
    if (!text.starts_with(error)) return false;
    text.remove_prefix(error.size());
    if (!text.empty() && text.front() == L'\t') text.remove_prefix(1);
    std::lock_guard<std::mutex> hold(lock_);
    ++total_;
    lines_.emplace_back(std::this_thread::get_id(), std::wstring(text));
    if (lines_.size() > kKeep) lines_.pop_front();
    return true;
}

std::vector<std::wstring> ErrorLogCapture::Take() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::wstring> lines;
    for (auto& line : lines_) lines.push_back(std::move(line.second));
    lines_.clear();
    return lines;
}

uint64_t ErrorLogCapture::Total() {
    std::lock_guard<std::mutex> hold(lock_);
    return total_;
}

std::vector<std::wstring> ErrorLogCapture::TakeOwn() {
    std::lock_guard<std::mutex> hold(lock_);
    const std::thread::id self = std::this_thread::get_id();
    std::vector<std::wstring> lines;
    for (auto& line : lines_)
        if (line.first == self) lines.push_back(std::move(line.second));
    std::erase_if(lines_, [self](const auto& line) { return line.first == self; });
    return lines;
}

}  // namespace Vorlaq

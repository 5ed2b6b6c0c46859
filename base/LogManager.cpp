#include "base/LogManager.h"

#include "base/Utf16.h"
#include "base/os/Files.h"

namespace Vorlaq {

namespace {
// A formatted message keeps at most this many UTF-16 units, terminator included.
constexpr size_t kMessageUnits = 4096;

void CutToUnits(std::wstring& message, size_t maxUnits) {
    size_t units = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        units += Utf16Length(std::wstring_view(&message[i], 1));
        if (units > maxUnits) {
            message.resize(i);
            return;
        }
    }
}
}  // namespace

bool OutputLogWriter::write(const std::wstring& line) {
    if (line.empty()) return false;
    WriteStandardOutput(line);
    return true;
}

bool FileLogWriter::write(const std::wstring& line) {
    if (line.empty() || path_.empty()) return false;
    return AppendToExistingFile(path_, WideToLogBytes(line));
}

LogDeferral::LogDeferral(std::vector<LogLine>& lines) : outer_(LogManager::deferredLines()) {
    LogManager::deferredLines() = &lines;
}

LogDeferral::~LogDeferral() { LogManager::deferredLines() = outer_; }

std::vector<LogLine>*& LogManager::deferredLines() {
    thread_local std::vector<LogLine>* lines = nullptr;
    return lines;
}

void LogManager::replay(std::span<const LogLine> lines) {
    if (lines.empty()) return;  // the scan replays a record's (nearly always empty) share per file
    std::lock_guard<std::recursive_mutex> hold(lock_);
    for (const LogLine& line : lines) dispatch(line.level, line.message);
}

LogManager& LogManager::instance() {
    static LogManager manager;
    return manager;
}

bool LogManager::addWriter(LogWriter* writer) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!writer) return false;
    writers_.emplace_back(writer);
    return true;
}

bool LogManager::removeWriters(LogWriter* writer) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!writer) return false;
    int kind = writer->kind();
    std::erase_if(writers_, [kind](const std::unique_ptr<LogWriter>& w) { return w && w->kind() == kind; });
    return true;
}

std::wstring_view LogManager::levelWord(uint32_t level) {
    switch (level) {
    case 0: return L"Info: ";
    case 1: return L"Debug: ";
    case 2: return L"Warning: ";
    case 3: return L"ERROR: ";
    case 4: return L"FATAL: ";
    default: return L"";
    }
}

uint64_t& LogManager::threadErrors() {
    thread_local uint64_t errors = 0;
    return errors;
}

void LogManager::dispatch(uint32_t level, std::wstring message) {
    CutToUnits(message, kMessageUnits - 1);
    if (message.empty()) return;
    if (level >= static_cast<uint32_t>(LogLevel::Error)) ++threadErrors();
    std::wstring line;
    line.reserve(message.size() + 12);
    line += levelWord(level);
    line += L'\t';
    line += message;
    line += L"\r\n";
    for (auto& writer : writers_)
        if (writer) writer->write(line);
}

}  // namespace Vorlaq

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/Utf16.h"
#include "base/os/FileTimes.h"
#include "base/os/posix/PosixError.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

timespec ToTimespec(uint64_t filetime) {
    timespec ts{};
    if (filetime == 0) {
        ts.tv_nsec = UTIME_OMIT;
        return ts;
    }
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(filetime / kTicksPerSecond) - kUnixEpochSeconds);
    ts.tv_nsec = static_cast<long>(filetime % kTicksPerSecond * 100);
    return ts;
}

}  // namespace

bool SetFileTimes(const std::wstring& path, uint64_t, uint64_t modified, uint64_t accessed, uint32_t* error) {
    // Paths arrive in Windows syntax: a backslash separates here too.
    std::string native = WideToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    const timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
    if (::utimensat(AT_FDCWD, native.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (error) *error = WinErrorFromErrno(errno);
    return false;
}

bool SupportsNamedStreams(const std::wstring&) { return false; }

}  // namespace Vorlaq

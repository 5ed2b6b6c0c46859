#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "base/os/Time.h"
#include "base/os/posix/PosixError.h"

namespace Vorlaq {

namespace {

// Paths reach this layer in Windows syntax (the engine writes them back with backslashes), so a
// backslash is a separator here too; no file name the program makes contains one.
std::string Native(const std::wstring& path) {
    std::string native = WideToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

void SetError(uint32_t* error, int err) {
    if (error) *error = WinErrorFromErrno(err);
}

class PosixWritableFile : public WritableFile {
public:
    explicit PosixWritableFile(int fd) : fd_(fd) {}
    ~PosixWritableFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Write(const void* data, uint32_t length, uint32_t* written, uint32_t* error) override {
        *written = 0;
        const auto* p = static_cast<const char*>(data);
        while (*written < length) {
            ssize_t n = ::write(fd_, p + *written, length - *written);
            if (n < 0) {
                if (errno == EINTR) continue;
                SetError(error, errno);
                return false;
            }
            if (n == 0) {
                SetError(error, ENOSPC);
                return false;
            }
            *written += static_cast<uint32_t>(n);
        }
        return true;
    }

    bool Close(uint32_t* error) override {
        if (fd_ < 0) return true;
        int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0) {
            SetError(error, errno);
            return false;
        }
        return true;
    }

private:
    int fd_;
};

}  // namespace

bool QueryFileAttributes(const std::wstring& path, uint32_t* error) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) == 0) return true;
    SetError(error, errno);
    return false;
}

bool IsDirectoryPath(const std::wstring& path) {
    struct stat st;
    return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool QueryFileSize(const std::wstring& path, uint64_t* size, uint32_t* error) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0) {
        SetError(error, errno);
        return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool RemoveFilePath(const std::wstring& path, uint32_t* error) {
    if (::unlink(Native(path).c_str()) == 0) return true;
    SetError(error, errno);
    return false;
}

bool CreateDirectoryTree(const std::wstring& path, uint32_t* error) {
    std::string native = Native(path);
    for (size_t i = 1; i <= native.size(); ++i) {
        if (i < native.size() && native[i] != '/') continue;
        std::string part = native.substr(0, i);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            SetError(error, errno);
            return false;
        }
    }
    if (IsDirectoryPath(path)) return true;
    SetError(error, ENOTDIR);
    return false;
}

std::unique_ptr<WritableFile> WritableFile::CreateAlways(const std::wstring& path, uint32_t* error) {
    int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, errno);
        return nullptr;
    }
    return std::make_unique<PosixWritableFile>(fd);
}

bool AppendToExistingFile(const std::wstring& path, std::string_view bytes) {
    int fd = ::open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return true;
}

std::string WideToLogBytes(std::wstring_view text) { return WideToUtf8(text); }

void WriteStandardOutput(std::wstring_view text) {
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring NativePathText(const std::wstring& path) {
    std::wstring native = path;
    for (wchar_t& c : native)
        if (c == L'\\') c = L'/';
    return native;
}

uint32_t QueryDriveType(const std::wstring&) { return 1; }

bool FileTimeToLocal(uint64_t utc, uint64_t* local) {
    // Like Windows, apply the offset in force now, not the one at the stamp's date.
    time_t now = std::time(nullptr);
    struct tm tmNow;
    if (!localtime_r(&now, &tmNow)) return false;
    int64_t offset = static_cast<int64_t>(tmNow.tm_gmtoff) * 10000000;
    if (offset < 0 ? utc < static_cast<uint64_t>(-offset) : utc > UINT64_MAX - static_cast<uint64_t>(offset))
        return false;
    *local = utc + static_cast<uint64_t>(offset);  // modular: the range was checked above
    return true;
}

}  // namespace Vorlaq

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "base/os/Time.h"
#include "base/os/posix/FolderWalk.h"
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
    uint32_t code = WinErrorFromErrno(err);
    if (error) *error = code;
}

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr time_t kTimeSlackSeconds = 2 * 86400;  // what a coarse file system rounds a time by, at most
constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

// A folder's path as the engine keeps it: no separator after the last name.
std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// A user as `ls -l` would name them, with the number that is certain.
std::wstring OwnerText(uid_t uid) {
    struct passwd entry, *found = nullptr;
    std::vector<char> buffer(16384);
    const std::wstring number = L"uid " + Utf8ToWide(std::to_string(uid));
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return Utf8ToWide(found->pw_name) + L" (" + number + L")";
    return number;
}

// A FILETIME as futimens takes it; 0 leaves the time alone.
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

    bool WriteHole(uint64_t length, uint32_t* error) override {
        const off_t here = ::lseek(fd_, 0, SEEK_CUR);
        if (here >= 0) {
            if (length > static_cast<uint64_t>(std::numeric_limits<off_t>::max() - here)) {
                SetError(error, EFBIG);
                return false;
            }
            const off_t end = here + static_cast<off_t>(length);
            if (::ftruncate(fd_, end) == 0 && ::lseek(fd_, end, SEEK_SET) == end) return true;
        }
        // Not a regular file (a pipe, a device the user named): the zeros are written.
        if (errno != EINVAL && errno != ESPIPE) {
            SetError(error, errno);
            return false;
        }
        static const char zeros[0x10000] = {};
        while (length > 0) {
            const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(length, sizeof zeros));
            uint32_t written = 0;
            if (!Write(zeros, piece, &written, error)) return false;
            length -= piece;
        }
        return true;
    }

    // A file system clamps a time outside its range (ext4 stops in 2446) without a word: the
    // times are read back, and ones that did not hold are undone and refused. Within two days
    // counts as held: FAT keeps modification times to 2 seconds and access times to the day.
    bool SetTimes(uint64_t, uint64_t modified, uint64_t accessed, uint32_t* error) override {
        const timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
        struct stat before, after;
        if (::fstat(fd_, &before) != 0 || ::futimens(fd_, times) != 0 || ::fstat(fd_, &after) != 0) {
            SetError(error, errno);
            return false;
        }
        auto near = [](time_t a, time_t b) { return (a > b ? a - b : b - a) < kTimeSlackSeconds; };
        const bool held = (accessed == 0 || near(after.st_atim.tv_sec, times[0].tv_sec)) &&
                          (modified == 0 || near(after.st_mtim.tv_sec, times[1].tv_sec));
        if (held) return true;
        const timespec undo[2] = {before.st_atim, before.st_mtim};
        ::futimens(fd_, undo);
        if (error) *error = kErrorInvalidParameter;
        return false;
    }

    // Linux file systems keep extended attributes, not data streams a program could open.
    std::unique_ptr<WritableFile> CreateNamedStream(const std::wstring&, uint32_t* error) override {
        if (error) *error = kErrorNotSupported;
        return nullptr;
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

// A folder as an open descriptor: children are reached with openat/mkdirat relative to it, and
// O_NOFOLLOW keeps every one of them from being a link.
class PosixFolder : public Folder {
public:
    PosixFolder(int fd, std::wstring path) : Folder(std::move(path)), fd_(fd) {}
    ~PosixFolder() override { ::close(fd_); }

    std::unique_ptr<Folder> OpenChild(const std::wstring& name, uint32_t* error) override {
        const std::string native = WideToUtf8(name);
        if (::mkdirat(fd_, native.c_str(), 0777) != 0 && errno != EEXIST) {
            SetError(error, errno);
            return nullptr;
        }
        int fd = ::openat(fd_, native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            int err = errno;
            struct stat st;
            // ENOTDIR is also what a link to a folder gives under O_DIRECTORY: tell the two apart.
            if (err == ENOTDIR && ::fstatat(fd_, native.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                err = ELOOP;
            SetError(error, err);
            if (error && err == ENOTDIR) *error = kErrorDirectory;
            return nullptr;
        }
        return std::make_unique<PosixFolder>(fd, GetPath() + L"\\" + name);
    }

    std::unique_ptr<WritableFile> CreateNewFile(const std::wstring& name, uint32_t* error) override {
        int fd = ::openat(fd_, WideToUtf8(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            SetError(error, errno);
            return nullptr;
        }
        return std::make_unique<PosixWritableFile>(fd);
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<Folder> Folder::Open(const std::wstring& path, uint32_t* error) {
    int fd = ::open(Native(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, errno);
        return nullptr;
    }
    return std::make_unique<PosixFolder>(fd, WithoutTrailingSeparators(path));
}

std::unique_ptr<Folder> Folder::MakeAndOpen(const std::wstring& path, uint32_t* error, RefusedFolderLink* refused) {
    int err = 0;
    WalkRefusal walkRefusal;
    int fd = OpenFolderMaking(Native(path), &err, &walkRefusal);
    if (fd < 0) {
        SetError(error, err);
        if (!walkRefusal.path.empty() && refused) {
            refused->link = Utf8ToWide(walkRefusal.path);
            refused->owner = OwnerText(walkRefusal.owner);
        }
        return nullptr;
    }
    return std::make_unique<PosixFolder>(fd, WithoutTrailingSeparators(path));
}

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

bool WriteStandardOutput(std::wstring_view text, uint32_t* error) {
    return WriteStandardOutputUtf8(WideToUtf8(text), error);
}

bool WriteStandardOutputUtf8(std::string_view bytes, uint32_t* error) {
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    ok = std::fflush(stdout) == 0 && ok;
    if (!ok) SetError(error, errno);
    return ok;
}

bool CloseStandardOutput(uint32_t* error) {
    bool ok = std::fflush(stdout) == 0;
    ok = std::fclose(stdout) == 0 && ok;
    if (!ok) SetError(error, errno);
    return ok;
}

size_t NativeNameLength(std::wstring_view name) { return WideToUtf8(name).size(); }

std::wstring NativePathText(const std::wstring& path) {
    std::wstring native = path;
    for (wchar_t& c : native)
        if (c == L'\\') c = L'/';
    return native;
}

uint32_t QueryDriveType(const std::wstring&) { return 1; }

bool FileTimeToLocal(uint64_t utc, uint64_t* local) {
    // Like Windows, apply the offset in force now, not the one at the stamp's date. Working it
    // out costs more than the rest of a found file, three times over, so each thread keeps the
    // one of the second it last asked in.
    thread_local time_t askedAt = 0;
    thread_local long askedOffset = 0;
    thread_local bool asked = false;
    time_t now = std::time(nullptr);
    if (!asked || now != askedAt) {
        struct tm tmNow;
        if (!localtime_r(&now, &tmNow)) return false;
        askedAt = now;
        askedOffset = tmNow.tm_gmtoff;
        asked = true;
    }
    int64_t offset = static_cast<int64_t>(askedOffset) * 10000000;
    if (offset < 0 ? utc < static_cast<uint64_t>(-offset) : utc > UINT64_MAX - static_cast<uint64_t>(offset))
        return false;
    *local = utc + static_cast<uint64_t>(offset);  // modular: the range was checked above
    return true;
}

}  // namespace Vorlaq

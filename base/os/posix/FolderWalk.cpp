#include "base/os/posix/FolderWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <vector>

namespace Vorlaq {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kMaxLinks = 40;  // as the kernel allows in one lookup

// The components of a path in order, pushed before those already in `rest`; empty ones and "."
// say nothing.
void PushFront(std::deque<std::string>& rest, const std::string& path) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(begin, end - begin);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        begin = end + 1;
    }
    rest.insert(rest.begin(), parts.begin(), parts.end());
}

// protected_symlinks: in a sticky folder anyone may write to, only links of the caller or of the
// folder's owner are followed.
bool MayFollow(const struct stat& folder, const struct stat& link) {
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// The link `name` in `folder` (already known to be one) read, or false with errno set.
bool ReadLink(int folder, const std::string& name, std::string* target) {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<size_t>(n) >= buffer.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    target->assign(buffer.data(), static_cast<size_t>(n));
    return true;
}

}  // namespace

int OpenFolderMaking(const std::string& path, int* err, WalkRefusal* refused) {
    if (path.empty()) {
        *err = ENOENT;
        return -1;
    }
    int fd = ::open(path[0] == '/' ? "/" : ".", kFolderFlags);
    std::string reached = path[0] == '/' ? "/" : "";
    std::deque<std::string> rest;
    PushFront(rest, path);
    int links = 0;
    bool failed = fd < 0;
    while (!failed && !rest.empty()) {
        const std::string name = rest.front();
        rest.pop_front();
        int next = ::openat(fd, name.c_str(), kFolderFlags);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(fd, name.c_str(), 0777) != 0 && errno != EEXIST) {
                failed = true;
                break;
            }
            next = ::openat(fd, name.c_str(), kFolderFlags);
        } else if (next < 0 && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat folder, link;
            if (::fstatat(fd, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode) ||
                ::fstat(fd, &folder) != 0) {
                errno = ENOTDIR;
            } else if (!MayFollow(folder, link)) {
                refused->path = reached + name;
                refused->owner = link.st_uid;
                errno = EACCES;
            } else if (++links > kMaxLinks) {
                errno = ELOOP;
            } else {
                std::string target;
                failed = !ReadLink(fd, name, &target);
                if (!failed && !target.empty() && target[0] == '/') {
                    next = ::open("/", kFolderFlags);
                    failed = next < 0;
                    if (!failed) {
                        ::close(fd);
                        fd = next;
                        reached = "/";
                    }
                }
                if (!failed) {
                    PushFront(rest, target);
                    continue;
                }
            }
            failed = true;
            break;
        }
        if (next < 0) {
            failed = true;
            break;
        }
        ::close(fd);
        fd = next;
        reached += name + "/";
    }
    if (failed) {
        *err = errno;
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace Vorlaq

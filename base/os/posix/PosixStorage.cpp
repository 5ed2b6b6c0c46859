#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/Utf16.h"
#include "base/os/Storage.h"

namespace Vorlaq {

namespace {

// The nearest entry of `path` or its parents that exists.
bool StatNearest(std::string path, struct stat* info) {
    for (;;) {
        if (::stat(path.c_str(), info) == 0) return true;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) return ::stat(".", info) == 0;
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

std::string SysBlock(dev_t device) {
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::string FirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The whole disk a partition's device belongs to; the device itself for a whole disk.
dev_t WholeDisk(dev_t device) {
    const std::string parent = FirstLine(SysBlock(device) + "/../dev");  // "8:0" for sda1
    unsigned maj = 0, min = 0;
    if (FirstLine(SysBlock(device) + "/partition").empty() || std::sscanf(parent.c_str(), "%u:%u", &maj, &min) != 2)
        return device;
    return makedev(maj, min);
}

bool SameFile(const std::string& path, const struct stat& file) {
    struct stat info{};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && info.st_dev == file.st_dev &&
           info.st_ino == file.st_ino;
}

// mountinfo writes blanks, tabs, newlines and backslashes as octal escapes.
std::string Unescape(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                text += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

// The source a FUSE file system on `device` was mounted from; empty for any other mount.
std::string FuseSource(dev_t device) {
    std::ifstream in("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, field;
        fields >> id >> parent >> numbers;
        if (numbers != wanted) continue;
        while (fields >> field && field != "-") {}
        std::string type, source;
        fields >> type >> source;
        if (type == "fuse" || type.rfind("fuse.", 0) == 0 || type == "fuseblk") return Unescape(source);
    }
    return std::string();
}

}  // namespace

bool LiesOnSource(const std::wstring& path, const std::wstring& source) {
    struct stat folder{}, image{};
    if (!StatNearest(WideToUtf8(path), &folder) || ::stat(WideToUtf8(source).c_str(), &image) != 0) return false;
    if (S_ISBLK(image.st_mode))
        return folder.st_dev == image.st_rdev || WholeDisk(folder.st_dev) == image.st_rdev;
    if (!S_ISREG(image.st_mode)) return false;
    // A loop device, or a partition of one, backed by the image.
    const std::string block = SysBlock(folder.st_dev);
    if (SameFile(FirstLine(block + "/loop/backing_file"), image) ||
        SameFile(FirstLine(block + "/../loop/backing_file"), image))
        return true;
    return SameFile(FuseSource(folder.st_dev), image);
}

}  // namespace Vorlaq

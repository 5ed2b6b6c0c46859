#include "base/os/posix/ImageDevice.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/LogManager.h"
#include "base/Utf16.h"

namespace Vorlaq {

namespace {
constexpr uint32_t kErrorFileCorrupt = 1392;
}  // namespace

bool ImageDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    if (offset > UINT64_MAX - base_) return false;
    uint64_t at = base_ + offset;
    if (at >= mediaSize_) return true;
    uint64_t wanted = std::min<uint64_t>(length, mediaSize_ - at);
    auto* out = static_cast<char*>(buffer);
    std::lock_guard<std::mutex> hold(lock_);
    while (*delivered < wanted) {
        ssize_t n = ReadMedia(at + *delivered, out + *delivered, static_cast<size_t>(wanted - *delivered));
        if (n < 0) return false;
        if (n == 0) break;
        *delivered += static_cast<uint32_t>(n);
    }
    return true;
}

std::vector<DamagedSpan> ImageDevice::KnownDamage() {
    std::vector<DamagedSpan> spans;
    std::lock_guard<std::mutex> hold(lock_);
    // Media offsets become the volume's: what lies before `base_` is another partition's.
    for (const DamagedSpan& span : MediaDamage()) {
        if (span.length == 0 || span.offset > UINT64_MAX - span.length) continue;
        const uint64_t end = span.offset + span.length;
        if (end <= base_) continue;
        const uint64_t start = std::max(span.offset, base_);
        spans.push_back({start - base_, end - start});
    }
    return spans;
}

std::unique_ptr<Device> OpenImageDevice(ContainerFormat format, const std::string& path, uint64_t base,
                                        uint32_t* error) {
    std::unique_ptr<Device> device;
    switch (format) {
    case ContainerFormat::Ewf: device = OpenEwfImage(path, base); break;
    case ContainerFormat::Vhd:
    case ContainerFormat::FixedVhd:
    case ContainerFormat::Vhdx: device = OpenVhdiImage(path, base, format); break;
    case ContainerFormat::Vmdk: device = OpenVmdkImage(path, base); break;
    case ContainerFormat::Qcow: device = OpenQcowImage(path, base); break;
    case ContainerFormat::None: break;
    }
    if (!device && error) *error = kErrorFileCorrupt;
    return device;
}

void LogImageFailure(ContainerFormat format, const std::string& path, const std::string& reason) {
    LogManager::instance().print(LogLevel::Error, L"Cannot open the %s image %s: %s", ContainerFormatName(format),
                                 Utf8ToWide(path), Utf8ToWide(reason));
}

std::string ParentBeside(ContainerFormat format, const std::string& image, const std::string& storedName) {
    size_t cut = storedName.find_last_of("/\\");
    std::string name = cut == std::string::npos ? storedName : storedName.substr(cut + 1);
    size_t slash = image.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : image.substr(0, slash + 1);
    std::string parent = folder + name;
    struct stat info{};
    if (!name.empty() && name != "." && name != ".." && ::stat(parent.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return PartStaysBeside(format, image, parent) ? parent : std::string();
    LogManager::instance().print(LogLevel::Error,
                                 L"The %s image %s is a differencing image whose parent %s is missing: put %s "
                                 L"beside it.",
                                 ContainerFormatName(format), Utf8ToWide(image), Utf8ToWide(storedName),
                                 Utf8ToWide(name));
    return std::string();
}

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

}  // namespace

bool PartStaysBeside(ContainerFormat format, const std::string& image, const std::string& part) {
    struct stat info{};
    if (::lstat(part.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    const std::string folder = RealPath(FolderOf(image));
    const std::string target = RealPath(part);
    if (!folder.empty() && !target.empty() && FolderOf(target) == folder) return true;
    LogImageFailure(format, image,
                    part + " is a link to " + (target.empty() ? std::string("a missing file") : target) +
                        ", outside the image's folder: refused");
    return false;
}

std::string LastErrorLine(const char* text) {
    std::string all = text ? text : "";
    while (!all.empty() && (all.back() == '\n' || all.back() == '.' || all.back() == ' ')) all.pop_back();
    size_t cut = all.find_last_of('\n');
    return cut == std::string::npos ? all : all.substr(cut + 1);
}

}  // namespace Vorlaq

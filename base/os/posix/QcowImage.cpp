// QCOW and QCOW2 disks through libqcow; an overlay reads through its backing file, found beside
// it: a QCOW image through libqcow, a raw image where no image of the chain holds the cluster.
#include <fcntl.h>
#include <libqcow.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/os/posix/ImageDevice.h"
#include "base/os/posix/QcowClusterMap.h"

namespace Vorlaq {

namespace {

std::string TakeError(libqcow_error_t*& error) {
    char text[1024] = {};
    if (error && libqcow_error_sprint(error, text, sizeof text) < 0) text[0] = 0;
    libqcow_error_free(&error);
    return LastErrorLine(text);
}

void Release(libqcow_file_t*& handle) {
    if (!handle) return;
    libqcow_file_close(handle, nullptr);
    libqcow_file_free(&handle, nullptr);
}

std::string ParentName(libqcow_file_t* handle) {
    size_t size = 0;
    if (libqcow_file_get_utf8_backing_filename_size(handle, &size, nullptr) != 1 || size <= 1 || size > 65536)
        return std::string();
    std::vector<uint8_t> name(size);
    if (libqcow_file_get_utf8_backing_filename(handle, name.data(), name.size(), nullptr) != 1) return std::string();
    return std::string(reinterpret_cast<const char*>(name.data()));
}

bool IsQcowFile(const std::string& path) {
    uint8_t magic[4] = {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool qcow = ::pread(fd, magic, sizeof magic, 0) == 4 && std::memcmp(magic, "QFI\xFB", 4) == 0;
    ::close(fd);
    return qcow;
}

// A chain of QCOW2 images over a raw image, read through the images' own cluster tables.
class RawBacking {
public:
    ~RawBacking() {
        for (int fd : fds_) ::close(fd);
    }

    // The QCOW image at `path` joins the chain, top first.
    bool AddImage(const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        fds_.push_back(fd);
        maps_.emplace_back();
        return maps_.back().Open(fd);
    }

    bool OpenRaw(const std::string& path) {
        raw_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (raw_ < 0) return false;
        fds_.push_back(raw_);
        return true;
    }

    // The bytes at `offset`, up to the end of the cluster they are in: from the first image of
    // the chain that keeps that cluster, else from the raw image (zeros past its end). -1 when a
    // table or cluster cannot be read, or the cluster is compressed.
    ssize_t Read(uint64_t offset, void* buffer, size_t length) {
        QcowClusterMap::Cluster cluster;
        uint64_t shortest = length;
        for (QcowClusterMap& map : maps_) {
            if (!map.Locate(offset, &cluster)) return -1;
            shortest = std::min(shortest, cluster.run);
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(length, cluster.run));
            switch (cluster.kind) {
            case QcowClusterMap::Kind::Data:
                return map.ReadAt(cluster.host, buffer, piece) ? static_cast<ssize_t>(piece) : -1;
            case QcowClusterMap::Kind::Zero: std::memset(buffer, 0, piece); return static_cast<ssize_t>(piece);
            case QcowClusterMap::Kind::Compressed: return -1;
            case QcowClusterMap::Kind::Backing: break;
            }
        }
        return ReadRaw(offset, buffer, static_cast<size_t>(shortest));
    }

private:
    // The raw image's bytes; zeros past its end, as an overlay reads them.
    ssize_t ReadRaw(uint64_t offset, void* buffer, size_t length) {
        ssize_t n = ::pread(raw_, buffer, length, static_cast<off_t>(offset));
        if (n < 0) return errno == EINTR ? ReadRaw(offset, buffer, length) : -1;
        std::memset(static_cast<char*>(buffer) + n, 0, length - static_cast<size_t>(n));
        return static_cast<ssize_t>(length);
    }

    std::vector<int> fds_;
    std::vector<QcowClusterMap> maps_;
    int raw_ = -1;
};

// The disk and its parents, the disk first; children go before the parents they read through.
class QcowChain {
public:
    QcowChain() = default;
    QcowChain(const QcowChain&) = delete;
    QcowChain& operator=(const QcowChain&) = delete;
    ~QcowChain() {
        for (libqcow_file_t*& file : files_) Release(file);
    }

    bool Open(const std::string& path) {
        std::string current = path;
        for (int depth = 0; depth <= kMaxParentDepth; ++depth) {
            libqcow_error_t* error = nullptr;
            libqcow_file_t* handle = nullptr;
            if (libqcow_file_initialize(&handle, &error) != 1 ||
                libqcow_file_open(handle, current.c_str(), LIBQCOW_OPEN_READ, &error) != 1 ||
                (!files_.empty() && libqcow_file_set_parent_file(files_.back(), handle, &error) != 1)) {
                LogImageFailure(ContainerFormat::Qcow, current, TakeError(error));
                Release(handle);
                return false;
            }
            files_.push_back(handle);
            paths_.push_back(current);
            std::string stored = ParentName(handle);
            if (stored.empty()) return true;
            current = ParentBeside(ContainerFormat::Qcow, current, stored);
            if (current.empty()) return false;
            if (!IsQcowFile(current)) return OpenRawBacking(path, current);
        }
        LogImageFailure(ContainerFormat::Qcow, path, "its chain of parents is too long");
        return false;
    }

    libqcow_file_t* Top() const { return files_.front(); }
    // Null unless the chain ends in a raw image.
    RawBacking* Raw() const { return raw_.get(); }

private:
    bool OpenRawBacking(const std::string& image, const std::string& rawPath) {
        raw_ = std::make_unique<RawBacking>();
        for (const std::string& path : paths_) {
            if (raw_->AddImage(path)) continue;
            LogImageFailure(ContainerFormat::Qcow, image,
                            path + " cannot be read over a raw backing file (a QCOW2 image of version 2 or 3 can)");
            return false;
        }
        if (raw_->OpenRaw(rawPath)) return true;
        LogImageFailure(ContainerFormat::Qcow, image, "its raw backing file " + rawPath + " cannot be opened");
        return false;
    }

    std::vector<libqcow_file_t*> files_;
    std::vector<std::string> paths_;
    std::unique_ptr<RawBacking> raw_;
};

class QcowDevice : public ImageDevice {
public:
    QcowDevice(std::unique_ptr<QcowChain> chain, uint64_t size, uint64_t base)
        : ImageDevice(size, base), chain_(std::move(chain)) {}

protected:
    ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) override {
        if (RawBacking* raw = chain_->Raw()) return raw->Read(offset, buffer, length);
        return ReadChain(offset, buffer, length);
    }

private:
    ssize_t ReadChain(uint64_t offset, void* buffer, size_t length) {
        libqcow_error_t* error = nullptr;
        ssize_t n = libqcow_file_read_buffer_at_offset(chain_->Top(), buffer, length, static_cast<off64_t>(offset),
                                                         &error);
        libqcow_error_free(&error);
        return n;
    }

    std::unique_ptr<QcowChain> chain_;
};

}  // namespace

std::unique_ptr<Device> OpenQcowImage(const std::string& path, uint64_t base) {
    auto chain = std::make_unique<QcowChain>();
    if (!chain->Open(path)) return nullptr;
    libqcow_error_t* error = nullptr;
    size64_t size = 0;
    if (libqcow_file_get_media_size(chain->Top(), &size, &error) != 1) {
        LogImageFailure(ContainerFormat::Qcow, path, TakeError(error));
        return nullptr;
    }
    return std::make_unique<QcowDevice>(std::move(chain), size, base);
}

}  // namespace Vorlaq

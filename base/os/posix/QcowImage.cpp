// QCOW and QCOW2 disks through libqcow; an overlay reads through its backing file (itself a QCOW
// image), found beside it.
#include <libqcow.h>

#include <vector>

#include "base/os/posix/ImageDevice.h"

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
            std::string stored = ParentName(handle);
            if (stored.empty()) return true;
            current = ParentBeside(ContainerFormat::Qcow, current, stored);
            if (current.empty()) return false;
        }
        LogImageFailure(ContainerFormat::Qcow, path, "its chain of parents is too long");
        return false;
    }

    libqcow_file_t* Top() const { return files_.front(); }

private:
    std::vector<libqcow_file_t*> files_;
};

class QcowDevice : public ImageDevice {
public:
    QcowDevice(std::unique_ptr<QcowChain> chain, uint64_t size, uint64_t base)
        : ImageDevice(size, base), chain_(std::move(chain)) {}

protected:
    ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) override {
        libqcow_error_t* error = nullptr;
        ssize_t n = libqcow_file_read_buffer_at_offset(chain_->Top(), buffer, length, static_cast<off64_t>(offset),
                                                         &error);
        libqcow_error_free(&error);
        return n;
    }

private:
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

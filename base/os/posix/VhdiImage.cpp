// VHD and VHDX disks through libvhdi; a differencing disk reads through its parent (and its
// parent's parent), found beside it.
#include <libvhdi.h>

#include <vector>

#include "base/os/posix/ImageDevice.h"

namespace Vorlaq {

namespace {

std::string TakeError(libvhdi_error_t*& error) {
    char text[1024] = {};
    if (error && libvhdi_error_sprint(error, text, sizeof text) < 0) text[0] = 0;
    libvhdi_error_free(&error);
    return LastErrorLine(text);
}

void Release(libvhdi_file_t*& file) {
    if (!file) return;
    libvhdi_file_close(file, nullptr);
    libvhdi_file_free(&file, nullptr);
}

// The disk and its parents, the disk first; children go before the parents they read through.
class VhdiChain {
public:
    VhdiChain() = default;
    VhdiChain(const VhdiChain&) = delete;
    VhdiChain& operator=(const VhdiChain&) = delete;
    ~VhdiChain() {
        for (libvhdi_file_t*& file : files_) Release(file);
    }

    // Opens `path` and, for a differencing disk, the parents beside it. False after logging why.
    bool Open(const std::string& path, ContainerFormat format) {
        std::string current = path;
        for (int depth = 0; depth <= kMaxParentDepth; ++depth) {
            libvhdi_error_t* error = nullptr;
            libvhdi_file_t* file = nullptr;
            if (libvhdi_file_initialize(&file, &error) != 1 ||
                libvhdi_file_open(file, current.c_str(), LIBVHDI_OPEN_READ, &error) != 1) {
                LogImageFailure(format, current, TakeError(error));
                Release(file);
                return false;
            }
            if (!files_.empty() && libvhdi_file_set_parent_file(files_.back(), file, &error) != 1) {
                LogImageFailure(format, current, TakeError(error));
                Release(file);
                return false;
            }
            files_.push_back(file);
            uint32_t type = 0;
            if (libvhdi_file_get_disk_type(file, &type, &error) != 1) {
                LogImageFailure(format, current, TakeError(error));
                return false;
            }
            if (type != LIBVHDI_DISK_TYPE_DIFFERENTIAL) return true;
            std::string stored = ParentName(file);
            if (stored.empty()) {
                LogImageFailure(format, current, "it is a differencing disk that names no parent");
                return false;
            }
            current = ParentBeside(format, current, stored);
            if (current.empty()) return false;
        }
        LogImageFailure(format, path, "its chain of parents is too long");
        return false;
    }

    libvhdi_file_t* Top() const { return files_.front(); }

private:
    static std::string ParentName(libvhdi_file_t* file) {
        size_t size = 0;
        if (libvhdi_file_get_utf8_parent_filename_size(file, &size, nullptr) != 1 || size == 0 || size > 65536)
            return std::string();
        std::vector<uint8_t> name(size);
        if (libvhdi_file_get_utf8_parent_filename(file, name.data(), name.size(), nullptr) != 1) return std::string();
        return std::string(reinterpret_cast<const char*>(name.data()));
    }

    std::vector<libvhdi_file_t*> files_;
};

class VhdiDevice : public ImageDevice {
public:
    VhdiDevice(std::unique_ptr<VhdiChain> chain, uint64_t size, uint64_t base)
        : ImageDevice(size, base), chain_(std::move(chain)) {}

protected:
    ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) override {
        libvhdi_error_t* error = nullptr;
        ssize_t n = libvhdi_file_read_buffer_at_offset(chain_->Top(), buffer, length, static_cast<off64_t>(offset),
                                                       &error);
        libvhdi_error_free(&error);
        return n;
    }

private:
    std::unique_ptr<VhdiChain> chain_;
};

}  // namespace

std::unique_ptr<Device> OpenVhdiImage(const std::string& path, uint64_t base, ContainerFormat format) {
    auto chain = std::make_unique<VhdiChain>();
    if (!chain->Open(path, format)) return nullptr;
    libvhdi_error_t* error = nullptr;
    size64_t size = 0;
    if (libvhdi_file_get_media_size(chain->Top(), &size, &error) != 1) {
        LogImageFailure(format, path, TakeError(error));
        return nullptr;
    }
    return std::make_unique<VhdiDevice>(std::move(chain), size, base);
}

}  // namespace Vorlaq

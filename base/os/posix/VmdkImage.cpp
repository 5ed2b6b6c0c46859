// VMDK disks through libvmdk: the descriptor (alone or inside a sparse extent) names the extent
// files, found beside it; a snapshot reads through its parent disk, found beside it too.
#include <libvmdk.h>

#include <vector>

#include "base/os/posix/ImageDevice.h"

namespace Vorlaq {

namespace {

std::string TakeError(libvmdk_error_t*& error) {
    char text[1024] = {};
    if (error && libvmdk_error_sprint(error, text, sizeof text) < 0) text[0] = 0;
    libvmdk_error_free(&error);
    return LastErrorLine(text);
}

void Release(libvmdk_handle_t*& handle) {
    if (!handle) return;
    libvmdk_handle_close(handle, nullptr);
    libvmdk_handle_free(&handle, nullptr);
}

std::string ParentName(libvmdk_handle_t* handle) {
    size_t size = 0;
    if (libvmdk_handle_get_utf8_parent_filename_size(handle, &size, nullptr) != 1 || size <= 1 || size > 65536)
        return std::string();
    std::vector<uint8_t> name(size);
    if (libvmdk_handle_get_utf8_parent_filename(handle, name.data(), name.size(), nullptr) != 1) return std::string();
    return std::string(reinterpret_cast<const char*>(name.data()));
}

// The disk and its parents, the disk first; children go before the parents they read through.
class VmdkChain {
public:
    VmdkChain() = default;
    VmdkChain(const VmdkChain&) = delete;
    VmdkChain& operator=(const VmdkChain&) = delete;
    ~VmdkChain() {
        for (libvmdk_handle_t*& handle : handles_) Release(handle);
    }

    bool Open(const std::string& path) {
        std::string current = path;
        for (int depth = 0; depth <= kMaxParentDepth; ++depth) {
            libvmdk_error_t* error = nullptr;
            libvmdk_handle_t* handle = nullptr;
            if (libvmdk_handle_initialize(&handle, &error) != 1 ||
                libvmdk_handle_open(handle, current.c_str(), LIBVMDK_OPEN_READ, &error) != 1 ||
                libvmdk_handle_open_extent_data_files(handle, &error) != 1 ||
                (!handles_.empty() && libvmdk_handle_set_parent_handle(handles_.back(), handle, &error) != 1)) {
                LogImageFailure(ContainerFormat::Vmdk, current, TakeError(error));
                Release(handle);
                return false;
            }
            handles_.push_back(handle);
            std::string stored = ParentName(handle);
            if (stored.empty()) return true;
            current = ParentBeside(ContainerFormat::Vmdk, current, stored);
            if (current.empty()) return false;
        }
        LogImageFailure(ContainerFormat::Vmdk, path, "its chain of parents is too long");
        return false;
    }

    libvmdk_handle_t* Top() const { return handles_.front(); }

private:
    std::vector<libvmdk_handle_t*> handles_;
};

class VmdkDevice : public ImageDevice {
public:
    VmdkDevice(std::unique_ptr<VmdkChain> chain, uint64_t size, uint64_t base)
        : ImageDevice(size, base), chain_(std::move(chain)) {}

protected:
    ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) override {
        libvmdk_error_t* error = nullptr;
        ssize_t n = libvmdk_handle_read_buffer_at_offset(chain_->Top(), buffer, length, static_cast<off64_t>(offset),
                                                         &error);
        libvmdk_error_free(&error);
        return n;
    }

private:
    std::unique_ptr<VmdkChain> chain_;
};

}  // namespace

std::unique_ptr<Device> OpenVmdkImage(const std::string& path, uint64_t base) {
    auto chain = std::make_unique<VmdkChain>();
    if (!chain->Open(path)) return nullptr;
    libvmdk_error_t* error = nullptr;
    size64_t size = 0;
    if (libvmdk_handle_get_media_size(chain->Top(), &size, &error) != 1) {
        LogImageFailure(ContainerFormat::Vmdk, path, TakeError(error));
        return nullptr;
    }
    return std::make_unique<VmdkDevice>(std::move(chain), size, base);
}

}  // namespace Vorlaq

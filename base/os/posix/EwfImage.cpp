// E01 acquisitions through libewf: the segment files (.E01, .E02, ...) are found beside the first
// by the library's own naming rules and read as one medium.
#include <libewf.h>

#include <string>
#include <vector>

#include "base/os/posix/ImageDevice.h"

namespace Vorlaq {

namespace {

std::string TakeError(libewf_error_t*& error) {
    char text[1024] = {};
    if (error && libewf_error_sprint(error, text, sizeof text) < 0) text[0] = 0;
    libewf_error_free(&error);
    return LastErrorLine(text);
}

using SpanGetter = int (*)(libewf_handle_t*, uint32_t, uint64_t*, uint64_t*, libewf_error_t**);
using CountGetter = int (*)(libewf_handle_t*, uint32_t*, libewf_error_t**);

// One of the handle's lists of sector ranges, in bytes.
void AppendSectorSpans(libewf_handle_t* handle, CountGetter count, SpanGetter get, uint32_t sectorSize,
                       std::vector<DamagedSpan>& spans) {
    uint32_t entries = 0;
    if (count(handle, &entries, nullptr) != 1) return;
    for (uint32_t i = 0; i < entries; ++i) {
        uint64_t first = 0, sectors = 0;
        if (get(handle, i, &first, &sectors, nullptr) != 1 || sectors == 0) continue;
        if (first > UINT64_MAX / sectorSize || sectors > UINT64_MAX / sectorSize) continue;
        spans.push_back({first * sectorSize, sectors * sectorSize});
    }
}

class EwfDevice : public ImageDevice {
public:
    EwfDevice(libewf_handle_t* handle, uint64_t size, uint64_t base, uint32_t sectorSize)
        : ImageDevice(size, base), handle_(handle), sectorSize_(sectorSize) {}
    ~EwfDevice() override {
        libewf_handle_close(handle_, nullptr);
        libewf_handle_free(&handle_, nullptr);
    }

protected:
    ssize_t ReadMedia(uint64_t offset, void* buffer, size_t length) override {
        libewf_error_t* error = nullptr;
        ssize_t n = libewf_handle_read_random(handle_, buffer, length, static_cast<off64_t>(offset), &error);
        libewf_error_free(&error);
        return n;
    }

    // Chunks whose checksum failed when read, and sectors the acquisition could not read.
    std::vector<DamagedSpan> MediaDamage() override {
        std::vector<DamagedSpan> spans;
        AppendSectorSpans(handle_, libewf_handle_get_number_of_checksum_errors, libewf_handle_get_checksum_error,
                          sectorSize_, spans);
        AppendSectorSpans(handle_, libewf_handle_get_number_of_acquiry_errors, libewf_handle_get_acquiry_error,
                          sectorSize_, spans);
        return spans;
    }

private:
    libewf_handle_t* handle_;
    uint32_t sectorSize_;
};

}  // namespace

std::unique_ptr<Device> OpenEwfImage(const std::string& path, uint64_t base) {
    libewf_error_t* error = nullptr;
    char** names = nullptr;
    int count = 0;
    if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
        // A first segment not named like one (.E01) stands alone.
        libewf_error_free(&error);
        names = nullptr;
        count = 0;
    }
    std::vector<char*> files;
    if (count > 0) files.assign(names, names + count);
    else files.push_back(const_cast<char*>(path.c_str()));
    for (char* segment : files) {
        if (path == segment || PartStaysBeside(ContainerFormat::Ewf, path, segment)) continue;
        if (names) libewf_glob_free(names, count, nullptr);
        return nullptr;
    }

    libewf_handle_t* handle = nullptr;
    uint64_t size = 0;
    uint32_t sectorSize = 0;
    std::string reason;
    bool ok = libewf_handle_initialize(&handle, &error) == 1 &&
              libewf_handle_open(handle, files.data(), static_cast<int>(files.size()), LIBEWF_OPEN_READ, &error) == 1 &&
              libewf_handle_get_media_size(handle, &size, &error) == 1 &&
              libewf_handle_get_bytes_per_sector(handle, &sectorSize, &error) == 1;
    if (ok && sectorSize == 0) sectorSize = 512;
    if (!ok) reason = TakeError(error);
    // The first segment records the media's size, the last one says it is the last: a set with a
    // segment missing or cut short opens, but reads zeros or fails where the gap is.
    if (ok && libewf_handle_segment_files_corrupted(handle, nullptr) != 0) {
        ok = false;
        reason = files.size() == 1 ? "the segment is truncated, or the segments after it are missing"
                                   : "a segment is missing or truncated (found " + std::to_string(files.size()) +
                                         ", " + files.front() + " to " + files.back() + ")";
    }
    if (names) libewf_glob_free(names, count, nullptr);
    if (!ok) {
        if (handle) {
            libewf_handle_close(handle, nullptr);
            libewf_handle_free(&handle, nullptr);
        }
        LogImageFailure(ContainerFormat::Ewf, path, reason);
        return nullptr;
    }
    return std::make_unique<EwfDevice>(handle, size, base, sectorSize);
}

}  // namespace Vorlaq

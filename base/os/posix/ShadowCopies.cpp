// Shadow copies through libvshadow. The library reads the volume through a libbfio handle whose
// callbacks read our own device, so a copy is found the same way on a raw image, inside a
// container or in a partition; each store then reads as a device of its own.
#include "base/os/ShadowCopies.h"

#include <libbfio.h>
#include <libvshadow.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#include "base/LogManager.h"
#include "base/Utf16.h"
#include "base/os/posix/ImageDevice.h"

namespace Vorlaq {

namespace {

std::string TakeError(libvshadow_error_t*& error) {
    char text[1024] = {};
    if (error && libvshadow_error_sprint(error, text, sizeof text) < 0) text[0] = 0;
    libvshadow_error_free(&error);
    std::string line = LastErrorLine(text);
    return line.empty() ? "unreadable" : line;
}

// The position libbfio keeps for the library, over the device that serves its reads.
struct DeviceFile {
    Device* device = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
};

DeviceFile* FileOf(intptr_t* handle) { return reinterpret_cast<DeviceFile*>(handle); }

int Opened(intptr_t*, int, libbfio_error_t**) { return 1; }
int Closed(intptr_t*, libbfio_error_t**) { return 0; }
int Exists(intptr_t*, libbfio_error_t**) { return 1; }
int IsOpen(intptr_t*, libbfio_error_t**) { return 1; }
ssize_t Refuse(intptr_t*, const uint8_t*, size_t, libbfio_error_t**) { return -1; }

ssize_t Read(intptr_t* handle, uint8_t* buffer, size_t size, libbfio_error_t**) {
    DeviceFile* file = FileOf(handle);
    if (!file || !buffer) return -1;
    uint32_t wanted = static_cast<uint32_t>(std::min<size_t>(size, 1u << 30));
    uint32_t got = 0;
    if (!file->device->ReadAt(file->position, buffer, wanted, &got)) return -1;
    file->position += got;
    return static_cast<ssize_t>(got);
}

off64_t Seek(intptr_t* handle, off64_t offset, int whence, libbfio_error_t**) {
    DeviceFile* file = FileOf(handle);
    if (!file) return -1;
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(file->position)
                   : whence == SEEK_END ? static_cast<int64_t>(file->size) : -1;
    // Neither before the start nor past what a 64-bit offset holds (no negation of INT64_MIN).
    if (base < 0 || (offset < 0 && offset < -base) || (offset > 0 && offset > INT64_MAX - base)) return -1;
    file->position = static_cast<uint64_t>(base + offset);
    return static_cast<off64_t>(file->position);
}

int GetSize(intptr_t* handle, size64_t* size, libbfio_error_t**) {
    DeviceFile* file = FileOf(handle);
    if (!file || !size) return -1;
    *size = file->size;
    return 1;
}

// The volume as the library sees it: with the catalog entries of the copies left out shown as
// unused entries, so that it lists the others only.
class MaskedDevice : public Device {
public:
    MaskedDevice(std::shared_ptr<Device> inner, std::vector<uint64_t> masked)
        : inner_(std::move(inner)), masked_(std::move(masked)) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        if (!inner_->ReadAt(offset, buffer, length, delivered)) return false;
        auto* bytes = static_cast<uint8_t*>(buffer);
        const uint64_t end = offset + *delivered;
        for (uint64_t entry : masked_) {
            const uint64_t from = std::max(entry, offset);
            const uint64_t to = std::min(entry + kShadowCatalogEntrySize, end);
            for (uint64_t at = from; at < to; ++at)
                bytes[at - offset] = at == entry ? static_cast<uint8_t>(kShadowUnusedEntry) : 0;
        }
        return true;
    }

private:
    std::shared_ptr<Device> inner_;
    std::vector<uint64_t> masked_;
};

// The volume's device, the libbfio handle over it and the library's volume: one per set, shared
// by the copies' devices. The handle keeps one position, so every read holds the lock.
class VshadowVolume {
public:
    VshadowVolume(std::unique_ptr<Device> device, uint64_t size) : device_(std::move(device)) {
        file_.device = device_.get();
        file_.size = size;
    }
    VshadowVolume(const VshadowVolume&) = delete;
    VshadowVolume& operator=(const VshadowVolume&) = delete;
    ~VshadowVolume() {
        for (OpenStore& open : stores_) libvshadow_store_free(&open.store, nullptr);
        if (volume_) {
            libvshadow_volume_close(volume_, nullptr);
            libvshadow_volume_free(&volume_, nullptr);
        }
        if (handle_) libbfio_handle_free(&handle_, nullptr);
    }

    // False, with the library's reason, when the stores cannot be listed at all.
    bool Open(std::string* reason) {
        libbfio_error_t* bfioError = nullptr;
        if (libbfio_handle_initialize(&handle_, reinterpret_cast<intptr_t*>(&file_), nullptr, nullptr, Opened, Closed,
                                      Read, Refuse, Seek, Exists, IsOpen, GetSize,
                                      LIBBFIO_FLAG_IO_HANDLE_NON_MANAGED | LIBBFIO_FLAG_IO_HANDLE_CLONE_BY_REFERENCE,
                                      &bfioError) != 1) {
            libbfio_error_free(&bfioError);
            *reason = "no file handle could be made";
            return false;
        }
        libvshadow_error_t* error = nullptr;
        if (libvshadow_volume_initialize(&volume_, &error) != 1 ||
            libvshadow_volume_open_file_io_handle(volume_, handle_, LIBVSHADOW_OPEN_READ, &error) != 1) {
            *reason = TakeError(error);
            return false;
        }
        return true;
    }

    // The store with this identifier, kept for `number`; false with the library's reason.
    bool TakeStore(const ShadowCatalogEntry& copy, std::string* reason) {
        libvshadow_error_t* error = nullptr;
        int count = 0;
        if (libvshadow_volume_get_number_of_stores(volume_, &count, &error) != 1) {
            *reason = TakeError(error);
            return false;
        }
        for (int index = 0; index < count; ++index) {
            uint8_t id[16] = {};
            if (libvshadow_volume_get_store_identifier(volume_, index, id, sizeof id, &error) != 1) {
                libvshadow_error_free(&error);
                continue;
            }
            if (!std::equal(copy.store.begin(), copy.store.end(), id)) continue;
            libvshadow_store_t* store = nullptr;
            size64_t size = 0;
            if (libvshadow_volume_get_store(volume_, index, &store, &error) != 1 ||
                libvshadow_store_get_size(store, &size, &error) != 1) {
                *reason = TakeError(error);
                if (store) libvshadow_store_free(&store, nullptr);
                return false;
            }
            stores_.push_back({copy.number, store, size});
            return true;
        }
        *reason = "the library lists no store for it";
        return false;
    }

    libvshadow_store_t* Store(uint32_t number, uint64_t* size) const {
        for (const OpenStore& open : stores_)
            if (open.number == number) {
                *size = open.size;
                return open.store;
            }
        return nullptr;
    }

    std::mutex& Lock() { return lock_; }

private:
    std::unique_ptr<Device> device_;
    DeviceFile file_;
    libbfio_handle_t* handle_ = nullptr;
    libvshadow_volume_t* volume_ = nullptr;
    struct OpenStore {
        uint32_t number;  // the copy's
        libvshadow_store_t* store;
        uint64_t size;
    };
    std::vector<OpenStore> stores_;
    std::mutex lock_;
};

// One copy: reads end at the store's size as an image file's do at its end.
class StoreDevice : public Device {
public:
    StoreDevice(std::shared_ptr<VshadowVolume> volume, libvshadow_store_t* store, uint64_t size)
        : volume_(std::move(volume)), store_(store), size_(size) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset >= size_) return true;
        size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
        std::lock_guard<std::mutex> hold(volume_->Lock());
        while (*delivered < wanted) {
            libvshadow_error_t* error = nullptr;
            ssize_t n = libvshadow_store_read_buffer_at_offset(store_, static_cast<uint8_t*>(buffer) + *delivered,
                                                               wanted - *delivered,
                                                               static_cast<off64_t>(offset + *delivered), &error);
            libvshadow_error_free(&error);
            if (n < 0) return false;
            if (n == 0) break;
            *delivered += static_cast<uint32_t>(n);
        }
        return true;
    }

private:
    std::shared_ptr<VshadowVolume> volume_;
    libvshadow_store_t* store_;
    uint64_t size_;
};

class VshadowCopySet : public ShadowCopySet {
public:
    VshadowCopySet(std::shared_ptr<VshadowVolume> volume, std::vector<ShadowCatalogEntry> copies)
        : volume_(std::move(volume)) {
        copies_ = std::move(copies);
    }

    std::unique_ptr<Device> OpenCopy(uint32_t number) override {
        uint64_t size = 0;
        libvshadow_store_t* store = volume_ ? volume_->Store(number, &size) : nullptr;
        if (!store) return nullptr;
        return std::make_unique<StoreDevice>(volume_, store, size);
    }

private:
    std::shared_ptr<VshadowVolume> volume_;
};

void LogShadowError(const wchar_t* format, uint32_t number, const std::string& reason) {
    LogManager::instance().print(LogLevel::Error, format, number, Utf8ToWide(reason));
}

}  // namespace

bool CanReadShadowCopies() { return true; }

std::unique_ptr<ShadowCopySet> OpenShadowCopies(std::unique_ptr<Device> volume, uint64_t volumeSize) {
    if (!volume) return nullptr;
    ShadowCatalog catalog = ReadShadowCatalog(*volume);
    if (!catalog.present) return nullptr;
    if (catalog.damaged)
        LogManager::instance().print(LogLevel::Error,
                                     L"The shadow copy catalog is damaged: only the %u copies before the damage "
                                     L"are read.",
                                     static_cast<uint32_t>(catalog.copies.size()));
    // The library refuses the whole catalog over one entry it cannot use: a damaged entry is
    // hidden from it, and with it the copies that may read through the store it was part of.
    std::vector<uint64_t> masked;
    for (const ShadowCatalogFault& fault : catalog.faults) {
        masked.push_back(fault.offset);
        if (fault.copy != 0)
            LogManager::instance().print(LogLevel::Error,
                                         L"Shadow copy %u cannot be read: its catalog entry is damaged (no entry "
                                         L"places its store).",
                                         fault.copy);
        else if (fault.type == kShadowStoreEntry)
            LogManager::instance().print(LogLevel::Error,
                                         L"The shadow copy catalog entry at byte %I64u is damaged (it places the store "
                                         L"of no copy described): the copy it belongs to cannot be read.",
                                         fault.offset);
        else
            LogManager::instance().print(LogLevel::Error,
                                         L"The shadow copy catalog entry at byte %I64u is damaged (type %I64u, which "
                                         L"the catalog does not use): the copy it belongs to cannot be read.",
                                         fault.offset, fault.type);
    }
    std::vector<ShadowCatalogEntry> byAge;
    for (const ShadowCatalogEntry& copy : catalog.copies) {
        if (!copy.behindDamage) {
            byAge.push_back(copy);
            continue;
        }
        masked.insert(masked.end(), copy.entryOffsets.begin(), copy.entryOffsets.end());
        LogManager::instance().print(LogLevel::Error,
                                     L"Shadow copy %u cannot be read: it reads through the store of a newer copy, "
                                     L"whose catalog entry is damaged.",
                                     copy.number);
    }
    // The library refuses the whole volume when one store cannot be read. An older copy reads
    // through every newer store, a newer one never through an older: so the oldest copies are
    // left out, one more at a time, until the library opens the rest.
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const ShadowCatalogEntry& a, const ShadowCatalogEntry& b) { return a.created < b.created; });
    std::shared_ptr<Device> device(std::move(volume));
    std::shared_ptr<VshadowVolume> opened;
    std::string reason;
    size_t left = 0;
    for (; left <= byAge.size(); ++left) {
        if (left > 0) masked.insert(masked.end(), byAge[left - 1].entryOffsets.begin(), byAge[left - 1].entryOffsets.end());
        auto attempt = std::make_shared<VshadowVolume>(std::make_unique<MaskedDevice>(device, masked), volumeSize);
        std::string why;
        if (attempt->Open(&why)) {
            opened = std::move(attempt);
            break;
        }
        if (left == 0) reason = why;
    }
    std::vector<ShadowCatalogEntry> readable;
    if (!opened) {
        LogManager::instance().print(LogLevel::Error, L"The shadow copies cannot be read: %s.", Utf8ToWide(reason));
        return std::make_unique<VshadowCopySet>(nullptr, std::move(readable));
    }
    for (size_t i = 0; i < left; ++i)
        LogShadowError(L"Shadow copy %u cannot be read: its store, or a newer one it reads through, is damaged (%s).",
                       byAge[i].number, reason);
    for (const ShadowCatalogEntry& copy : catalog.copies) {
        if (copy.behindDamage ||
            std::find_if(byAge.begin(), byAge.begin() + static_cast<ptrdiff_t>(left), [&](const ShadowCatalogEntry& gone) {
                return gone.number == copy.number;
            }) != byAge.begin() + static_cast<ptrdiff_t>(left))
            continue;
        if (opened->TakeStore(copy, &reason)) readable.push_back(copy);
        else LogShadowError(L"Shadow copy %u cannot be read: %s.", copy.number, reason);
    }
    return std::make_unique<VshadowCopySet>(std::move(opened), std::move(readable));
}

}  // namespace Vorlaq

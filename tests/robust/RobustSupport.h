#pragma once
// What the corrupt-image and fault-injection tests share: the fixture images in memory, a device
// that shows an image with patches laid over it (or cut short), and one scan followed by a
// restore of everything it found, into a folder of its own, with a watchdog on its duration.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/os/Device.h"
#include "scan/DeletedFileInfo.h"
#include "scan/VolumeSource.h"
#include "tests/support/MemoryDevice.h"

namespace QuorretTest {

struct FixtureImage {
    std::string name;  // "sample" for tests/fixtures/sample.img.xz
    std::shared_ptr<const Bytes> bytes;
};

// Every tests/fixtures/*.img.xz, unpacked once into the build tree and read into memory, in name
// order.
std::vector<FixtureImage> LoadFixtureImages();

struct Patch {
    uint64_t offset;
    Bytes bytes;
};

// The image as the device shows it: patches laid over the bytes, and nothing from `size` on.
struct ImageView {
    std::shared_ptr<const Bytes> base;
    std::vector<Patch> patches;
    uint64_t size = UINT64_MAX;
};

class PatchedDevice : public Vorlaq::Device {
public:
    explicit PatchedDevice(std::shared_ptr<const ImageView> view) : view_(std::move(view)) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override;

private:
    std::shared_ptr<const ImageView> view_;
};

// A volume source that opens a fresh device from `make` every time, as the scan and each
// restore do.
Vorlaq::VolumeSource SourceOf(std::function<std::unique_ptr<Vorlaq::Device>()> make);

struct ScanResult {
    int32_t state = 0;
    std::vector<Vorlaq::DeletedFileInfo> files;
    std::chrono::duration<double> elapsed{};
};

// Runs the scan on the calling thread (no filter) and collects what it reports.
ScanResult Scan(const Vorlaq::VolumeSource& source);

struct RestoreResult {
    uint64_t record = 0;
    uint64_t size = 0;  // as the scan reported it
    std::wstring dest;  // empty when no destination could be made
    bool ok = false;
};

// Restores every file into `folder` under the name the dialog would give it, skipping files of
// more than `maxSize` bytes (a size the volume states may be terabytes of sparse zeros).
std::vector<RestoreResult> RestoreAll(const Vorlaq::VolumeSource& source, const std::vector<Vorlaq::DeletedFileInfo>& files,
                                      const std::filesystem::path& folder, uint64_t maxSize);

// Aborts the process with `what` when it is not disarmed (destroyed) within `limit`: a hang
// becomes a failure that names the case instead of a test timeout.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Every entry below `folder`, relative to it, sorted; folders end in "/".
std::vector<std::string> ListTree(const std::filesystem::path& folder);

}  // namespace QuorretTest

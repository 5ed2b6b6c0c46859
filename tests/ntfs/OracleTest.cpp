// Every record of every image that The Sleuth Kit can open, read by us and compared with what
// TSK said (prepare-images.sh): in-use and directory flags, the first Win32 name, the parent,
// the $STANDARD_INFORMATION times, the unnamed $DATA's size and every one of its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeNonResident.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "tests/ntfs/TskOutput.h"
#include "tests/support/Sha256.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

// What was compared, and the places where we differ from TSK on purpose (each counted, so the
// printed figures show how often they came up).
struct Figures {
    uint64_t records = 0;
    uint64_t unreadableByBoth = 0;
    uint64_t deleted = 0;
    uint64_t streams = 0;
    uint64_t bytes = 0;
    // Names moved in from extension records stand before the record's own, so with several
    // links the first Win32 name can be another of the file's names than TSK's first.
    uint64_t namesFromExtensions = 0;
    // TSK shows times at or before 1970 as 0000-00-00 (or wrapped); nothing to compare there.
    uint64_t timesTskCannotShow = 0;
    // An extension record on its own holds a piece of a stream, which has no size of its own:
    // the size is the piece's that starts at VCN 0, in the base record.
    uint64_t extensionPieces = 0;
    // $Boot's run starts at LCN 0, written as an offset of 0, which the run-list rules read as
    // a sparse run; TSK reads cluster 0. (Record 7 is never scanned or restored.)
    uint64_t bootRuns = 0;
    // Deleted files whose run list lost a piece with the deletion (the manifest says which):
    // TSK's icat gives what is left and stops; we read the same bytes, and a read past them
    // fails, so a restore reports the file as incomplete.
    uint64_t incomplete = 0;
    // Streams whose bytes also match the sha256 the fixture's manifest recorded when it was written.
    uint64_t manifestHashes = 0;
};

// FILETIME of 1970-01-02: TSK cannot show times before it (allowing for the local offset).
constexpr uint64_t kTskEarliest = 116444736000000000ull + 86400ull * 10000000ull;

std::string Utf8(const std::wstring& s) { return WideToUtf8(s); }

class Differences {
public:
    explicit Differences(std::string image) : image_(std::move(image)) {}
    template <typename... Args>
    void Add(uint64_t record, const char* format, Args... args) {
        char text[512];
        std::snprintf(text, sizeof text, format, args...);
        lines_.push_back(image_ + " record " + std::to_string(record) + ": " + text);
    }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::string image_;
    std::vector<std::string> lines_;
};

// A fixture's manifest: the sha256 of each file's unnamed $DATA by record, and the records whose
// data the deletion left incomplete (part of the run list went with it).
struct Manifest {
    std::map<uint64_t, std::string> hashes;
    std::set<uint64_t> incomplete;
};

Manifest LoadManifest(const std::string& image) {
    Manifest m;
    auto text = ReadTextFile(std::string(QUORRET_SOURCE_DIR) + "/tests/fixtures/" + image + ".manifest.tsv");
    if (!text) return m;
    std::map<std::string, uint64_t> byPath;
    std::vector<std::string> incompletePaths;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string record, deleted, type, size, sha, path;
        if (line.rfind("# data-incomplete\t", 0) == 0) {
            incompletePaths.push_back(line.substr(18));
        } else if (std::getline(fields, record, '\t') && std::getline(fields, deleted, '\t') &&
                   std::getline(fields, type, '\t') && std::getline(fields, size, '\t') &&
                   std::getline(fields, sha, '\t') && std::getline(fields, path) && type == "file" &&
                   !record.empty() && std::isdigit(static_cast<unsigned char>(record[0]))) {
            m.hashes[std::stoull(record)] = sha;
            byPath[path] = std::stoull(record);
        }
    }
    for (const std::string& path : incompletePaths)
        if (auto found = byPath.find(path); found != byPath.end()) m.incomplete.insert(found->second);
    return m;
}

void CompareTime(uint64_t ours, uint64_t tsk, const char* which, uint64_t number, Figures& figures,
                 Differences& diffs) {
    if (tsk == 0 || tsk < kTskEarliest || ours < kTskEarliest) {
        ++figures.timesTskCannotShow;
        if (tsk == 0 && ours >= kTskEarliest + 86400ull * 10000000ull)
            diffs.Add(number, "%s time %llx, TSK shows none", which, static_cast<unsigned long long>(ours));
        return;
    }
    if (ours != tsk)
        diffs.Add(number, "%s time %llx, TSK %llx", which, static_cast<unsigned long long>(ours),
                  static_cast<unsigned long long>(tsk));
}

// Reads the stream in 64 KiB pieces, as a restore does, beside icat's bytes (never the whole of
// either in memory: some streams are hundreds of megabytes, too much for a 32-bit test).
void CompareStream(NTFSAttributeBase* data, const std::string& icatPath, bool incomplete, const std::string* sha256,
                   uint64_t number, Figures& figures, Differences& diffs) {
    FILE* icat = std::fopen(icatPath.c_str(), "rb");
    if (!icat) {
        diffs.Add(number, "no icat output");
        return;
    }
    std::fseek(icat, 0, SEEK_END);
    const uint64_t icatSize = static_cast<uint64_t>(std::ftell(icat));
    std::fseek(icat, 0, SEEK_SET);
    const uint64_t size = data->GetDataSize();
    // A deleted file that lost part of its run list with the deletion: TSK gives what is left.
    const bool partial = incomplete && icatSize < size;
    const uint64_t end = partial ? icatSize : size;
    if (icatSize != end) {
        std::fclose(icat);
        diffs.Add(number, "icat gave %llu bytes, the stream is %llu", static_cast<unsigned long long>(icatSize),
                  static_cast<unsigned long long>(size));
        return;
    }
    std::vector<uint8_t> ours(0x10000), theirs(0x10000);
    Sha256 sha;
    bool same = true;
    for (uint64_t offset = 0; offset < end && same;) {
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(ours.size(), end - offset));
        uint32_t got = 0;
        if (!data->ReadData(offset, ours.data(), want, &got) || got != want) {
            diffs.Add(number, "read failed at %llu of %llu", static_cast<unsigned long long>(offset),
                      static_cast<unsigned long long>(size));
            same = false;
            break;
        }
        if (std::fread(theirs.data(), 1, got, icat) != got || std::memcmp(ours.data(), theirs.data(), got) != 0) {
            size_t at = 0;
            while (at < got && ours[at] == theirs[at]) ++at;
            diffs.Add(number, "data differs at byte %llu", static_cast<unsigned long long>(offset + at));
            same = false;
            break;
        }
        sha.Update(ours.data(), got);
        offset += got;
    }
    std::fclose(icat);
    if (!same) return;
    if (sha256 && !partial) {
        // The manifest knows what was written: TSK and we must not be wrong alike.
        if (sha.HexDigest() == *sha256) ++figures.manifestHashes;
        else diffs.Add(number, "bytes equal TSK's but not the manifest's sha256");
    }
    if (partial) {
        // Where TSK stopped, the run list ends for us too.
        uint8_t byte = 0;
        uint32_t got = 0;
        uint64_t next = icatSize / 4096 * 4096 + 4096;
        if (next < size && data->ReadData(next, &byte, 1, &got)) diffs.Add(number, "reads past the lost piece");
        ++figures.incomplete;
    }
    figures.bytes += end;
    ++figures.streams;
}

void CompareImage(const ImageEntry& image, Figures& figures, Differences& diffs) {
    const std::string dir = ImagesDir() + "/tsk/" + image.name;
    auto recordList = ReadTextFile(dir + "/records.txt");
    ASSERT_TRUE(recordList) << image.name;
    auto flsNames = ParseFls(ReadTextFile(dir + "/fls.txt").value_or(""));
    Manifest manifest = LoadManifest(image.name);

    uint32_t error = 0;
    NTFSVolume volume(OpenPathDevice(Utf8ToWide(image.path), image.offset, &error), L"\\");
    ASSERT_TRUE(volume.IsVolumeOK()) << image.name;
    ASSERT_TRUE(volume.HasMFTData()) << image.name;

    std::istringstream numbers(*recordList);
    uint64_t number;
    while (numbers >> number) {
        ++figures.records;
        TskRecord tsk = ParseIstat(ReadTextFile(dir + "/istat/" + std::to_string(number) + ".txt").value_or(""));
        NTFSFileRecord record(&volume);
        record.SetAttrMask(kNTFSMaskFileName);
        bool read = record.ReadFileRecord(number);
        bool parsed = read && record.ParseAttrs();
        if (!tsk.readable) {
            // Never-written records: neither reader makes anything of them.
            if (read) diffs.Add(number, "TSK cannot read it, we can");
            else ++figures.unreadableByBoth;
            continue;
        }
        if (!parsed) {
            diffs.Add(number, "TSK reads it, we do not (read %d)", read);
            continue;
        }
        if (record.IsDeleted()) ++figures.deleted;
        if (record.IsDeleted() == tsk.allocated) diffs.Add(number, "in use: TSK %d", tsk.allocated);
        if (record.IsDirectory() != tsk.directory) diffs.Add(number, "directory: TSK %d", tsk.directory);

        // Names: TSK's Win32 names are those of istat's that fls also lists (fls leaves DOS
        // names out); a record fls does not reach has its first istat name.
        wchar_t buffer[261];
        int length = record.GetFileName(buffer, 260);
        std::wstring ours = length > 0 ? std::wstring(buffer, static_cast<size_t>(length)) : std::wstring();
        std::vector<std::wstring> win32;
        auto fls = flsNames.find(number);
        for (const std::wstring& name : tsk.names)
            if (fls != flsNames.end() && std::count(fls->second.begin(), fls->second.end(), name)) win32.push_back(name);
        if (win32.empty() && !tsk.names.empty()) win32.push_back(tsk.names.front());
        if (win32.empty() ? !ours.empty() : ours != win32.front()) {
            if (win32.size() > 1 && std::count(win32.begin(), win32.end(), ours)) {
                ++figures.namesFromExtensions;
            } else {
                diffs.Add(number, "name '%s', TSK '%s'", Utf8(ours).c_str(),
                          win32.empty() ? "" : Utf8(win32.front()).c_str());
            }
        }
        // The parent is that of the $FILE_NAME whose name we gave.
        uint64_t parent = 0;
        for (size_t i = 0; i < tsk.names.size() && i < tsk.parents.size(); ++i)
            if (tsk.names[i] == ours || (ours.empty() && i == 0)) {
                parent = tsk.parents[i];
                break;
            }
        if (record.GetParentRef() != parent)
            diffs.Add(number, "parent %llu, TSK %llu", static_cast<unsigned long long>(record.GetParentRef()),
                      static_cast<unsigned long long>(parent));

        uint64_t write = 0, create = 0, access = 0;
        record.GetFileTime(&write, &create, &access);
        if (tsk.hasStandardInfo) {
            CompareTime(write, tsk.modified, "write", number, figures, diffs);
            CompareTime(create, tsk.created, "creation", number, figures, diffs);
            CompareTime(access, tsk.accessed, "access", number, figures, diffs);
        }

        record.SetAttrMask(kNTFSMaskData);
        if (!record.ParseAttrs()) {
            diffs.Add(number, "data parse failed");
            continue;
        }
        NTFSAttributeBase* data = record.FindStream();
        if (!data != !tsk.hasData) {
            diffs.Add(number, "unnamed $DATA: ours %d, TSK %d", data != nullptr, tsk.hasData);
            continue;
        }
        if (!data) continue;
        if ((tsk.baseRecord != 0 || record.GetBaseRecordRef() != 0) && data->IsNonResident() &&
            static_cast<NTFSAttributeNonResident*>(data)->GetStartVCN() != 0) {
            ++figures.extensionPieces;
            continue;
        }
        if (data->GetDataSize() != tsk.dataSize) {
            diffs.Add(number, "data size %llu, TSK %llu", static_cast<unsigned long long>(data->GetDataSize()),
                      static_cast<unsigned long long>(tsk.dataSize));
            continue;
        }
        if (number == 7) {
            ++figures.bootRuns;
            continue;
        }
        auto rc = ReadTextFile(dir + "/icat/" + std::to_string(number) + ".rc");
        if (!rc || rc->substr(0, 1) != "0") {
            diffs.Add(number, "icat failed");
            continue;
        }
        auto sha = manifest.hashes.find(number);
        CompareStream(data, dir + "/icat/" + std::to_string(number) + ".bin", manifest.incomplete.count(number) > 0,
                      sha == manifest.hashes.end() ? nullptr : &sha->second, number, figures, diffs);
    }
}

void CompareKind(const std::string& kind) {
    auto images = LoadImages();
    std::vector<ImageEntry> chosen;
    for (const ImageEntry& image : images)
        if (image.kind == kind && image.tsk) chosen.push_back(image);
    if (chosen.empty()) GTEST_SKIP() << "no " << kind << " images prepared in " << ImagesDir();
    Figures total;
    for (const ImageEntry& image : chosen) {
        Figures f;
        Differences diffs(image.name);
        CompareImage(image, f, diffs);
        std::printf("%-15s %5llu records (%llu deleted, %llu unreadable to both), %llu streams, %llu bytes equal (%llu streams "
                    "also to the manifest's sha256); "
                    "on purpose: %llu names from extension records first, %llu times TSK cannot show, "
                    "%llu stream pieces, %llu $Boot; %llu incomplete as the manifest says; %zu differences\n",
                    image.name.c_str(), static_cast<unsigned long long>(f.records),
                    static_cast<unsigned long long>(f.deleted), static_cast<unsigned long long>(f.unreadableByBoth),
                    static_cast<unsigned long long>(f.streams), static_cast<unsigned long long>(f.bytes),
                    static_cast<unsigned long long>(f.manifestHashes), static_cast<unsigned long long>(f.namesFromExtensions),
                    static_cast<unsigned long long>(f.timesTskCannotShow),
                    static_cast<unsigned long long>(f.extensionPieces), static_cast<unsigned long long>(f.bootRuns),
                    static_cast<unsigned long long>(f.incomplete), diffs.Lines().size());
        for (const std::string& line : diffs.Lines()) ADD_FAILURE() << line;
        total.records += f.records;
        total.streams += f.streams;
        total.bytes += f.bytes;
    }
    std::printf("%s images: %llu records compared, %llu streams, %llu bytes compared with The Sleuth Kit\n",
                kind.c_str(), static_cast<unsigned long long>(total.records),
                static_cast<unsigned long long>(total.streams), static_cast<unsigned long long>(total.bytes));
}

}  // namespace

TEST(Oracle, FixtureVolumesAgreeWithTheSleuthKit) { CompareKind("fixture"); }

TEST(Oracle, WindowsVolumesAgreeWithTheSleuthKit) { CompareKind("windows"); }

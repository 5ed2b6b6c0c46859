// The scan and the restore against The Sleuth Kit on every fixture volume (and the Windows-written
// volumes beside the repository): the files reported are exactly the records TSK shows as not
// allocated, not directories, not extension records and named, with TSK's name, folder path,
// size and times; every restored file is byte-identical to icat's output. On the volumes made by
// tools/fixtures, the manifest's deleted files are all among them. The images and TSK's answers
// are prepared by tests/ntfs/prepare-images.sh.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "ScanFixtures.h"
#include "base/Utf16.h"
#include "base/os/Files.h"
#include "scan/FileScanTask.h"
#include "scan/RestoreFile.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

const std::string kImages = QUORRET_SCAN_IMAGES_DIR;

std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::stringstream s(line);
    for (std::string field; std::getline(s, field, separator);) fields.push_back(field);
    if (!line.empty() && line.back() == separator) fields.emplace_back();
    return fields;
}

// "2023-11-07 06:42:39.123456700" (UTC) as a FILETIME.
uint64_t FileTimeFromText(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    long long ns = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%lld", &y, &mo, &d, &h, &mi, &s, &ns) != 7) return 0;
    // Days since 1970-01-01 of a Gregorian date, then the 11644473600 s from 1601 to 1970.
    y -= mo <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
    const long long doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    const long long seconds = days * 86400 + h * 3600 + mi * 60 + s + 11644473600ll;
    return static_cast<uint64_t>(seconds) * 10000000ull + static_cast<uint64_t>(ns / 100);
}


// What istat says about one record.
struct TskRecord {
    bool allocated = false;
    bool directory = false;
    bool extension = false;
    bool encrypted = false;
    std::vector<std::pair<std::string, uint64_t>> names;  // name, parent record
    uint64_t size = 0;                                     // the unnamed $DATA, 0 without
    uint64_t created = 0, modified = 0, accessed = 0;      // $STANDARD_INFORMATION, local
};

std::optional<TskRecord> ParseIstat(const std::string& text) {
    static const std::regex kHeader(R"(^(Not )?Allocated (File|Directory)$)");
    static const std::regex kName(R"(^Name: (.*)$)");
    static const std::regex kParent(R"(^Parent MFT Entry: (\d+))");
    static const std::regex kData(R"(^Type: \$DATA \(128-\d+\)   Name: N/A   [^\n]*?size: (\d+))");
    static const std::regex kTime(R"(^(Created|File Modified|Accessed):\t(\S+ \S+) \(UTC\)$)");
    TskRecord record;
    bool header = false, sizeSeen = false;
    std::string section;
    std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const bool standard = section == "$STANDARD_INFORMATION Attribute Values:";
        std::smatch m;
        if (line.size() > 17 && line.compare(line.size() - 17, 17, "Attribute Values:") == 0) {
            section = line;
        } else if (std::regex_match(line, m, kHeader)) {
            header = true;
            record.allocated = !m[1].matched;
            record.directory = m[2] == "Directory";
        } else if (line.rfind("Base File Record:", 0) == 0) {
            record.extension = true;
        } else if (standard && line.rfind("Flags: ", 0) == 0) {
            record.encrypted = line.find("Encrypted") != std::string::npos;
        } else if (standard && std::regex_match(line, m, kTime)) {
            uint64_t value = FileTimeFromText(m[2]);
            (m[1] == "Created" ? record.created : m[1] == "Accessed" ? record.accessed : record.modified) = value;
        } else if (std::regex_match(line, m, kName) && i + 1 < lines.size()) {
            std::smatch p;
            if (std::regex_search(lines[i + 1], p, kParent)) record.names.emplace_back(m[1], std::stoull(p[1]));
        } else if (!sizeSeen && std::regex_search(line, m, kData)) {
            record.size = std::stoull(m[1]);
            sizeSeen = true;
        }
    }
    if (!header) return std::nullopt;
    return record;
}

// An 8.3 name made for a long one: istat lists it beside the long name and cannot say which is which.
bool LooksLikeShortName(const std::string& name) {
    static const std::regex kShort(R"(^[A-Z0-9_$#&@!%()\-{}^'`]{1,6}~[0-9][A-Z0-9_$#&@!%()\-{}^'`]{0,1}(\.[A-Z0-9_$#&@!%()\-{}^'`~]{1,3})?$)");
    return std::regex_match(name, kShort);
}

struct Expected {
    std::string name;
    std::string path;
};

class Volume {
public:
    Volume(std::string name, std::string path, uint64_t offset) : name_(std::move(name)), path_(std::move(path)), offset_(offset) {}

    bool Load() {
        const std::string dir = kImages + "/tsk/" + name_;
        auto list = ReadText(dir + "/records.txt");
        auto fls = ReadText(dir + "/fls.txt");
        if (!list || !fls) return false;
        for (const std::string& line : Lines(*list)) {
            uint64_t n = std::stoull(line);
            if (auto text = ReadText(dir + "/istat/" + line + ".txt"))
                if (auto record = ParseIstat(*text)) records_[n] = *record;
        }
        // fls shows long names only; a name of a record that has since been reused is not the record's.
        static const std::regex kEntry(R"(^\S+ (?:\* )?(\d+)(?:-\d+-\d+)?(?: \(realloc\))?:\t(.*)$)");
        for (const std::string& line : Lines(*fls)) {
            std::smatch m;
            if (!std::regex_match(line, m, kEntry)) continue;
            std::string path = m[2];
            std::string last = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
            if (last.find(':') == std::string::npos) longNames_[std::stoull(m[1])].insert(last);
        }
        return true;
    }

    const std::map<uint64_t, TskRecord>& Records() const { return records_; }
    VolumeSource Source() const { return VolumeSource::FromImage(Utf8ToWide(path_), offset_); }
    std::string IcatPath(uint64_t n) const { return kImages + "/tsk/" + name_ + "/icat/" + std::to_string(n); }

    // The record's names as the scan may report them: not its 8.3 names.
    std::vector<std::pair<std::string, uint64_t>> LongNames(const TskRecord& record, uint64_t n) const {
        std::vector<std::pair<std::string, uint64_t>> out;
        auto listed = longNames_.find(n);
        for (const auto& entry : record.names)
            if (listed != longNames_.end() && listed->second.count(entry.first)) out.push_back(entry);
        if (!out.empty()) return out;
        for (const auto& entry : record.names)
            if (record.names.size() == 1 || !LooksLikeShortName(entry.first)) out.push_back(entry);
        return out;
    }

    // The folder path of a file whose name sits in `parent`, climbed through TSK's records by
    // the rule the scan follows: named folders up to one that is its own parent.
    std::string FolderPath(uint64_t parent, uint64_t self) const {
        if (parent == 0) return "\\Unknown";
        if (parent == self) return "\\";
        std::string path;
        std::set<uint64_t> seen = {self};
        uint64_t current = parent;
        while (true) {
            auto it = records_.find(current);
            if (it == records_.end() || !it->second.directory || it->second.names.empty()) return "\\Unknown";
            auto names = LongNames(it->second, current);
            if (names.empty() || !seen.insert(current).second) return "\\Unknown";
            if (names.front().first != ".") path = names.front().first + "\\" + path;
            uint64_t up = it->second.names.front().second;
            if (up == 0) return "\\Unknown";
            if (up == current) return "\\" + path;
            current = up;
        }
    }

    const std::string& Name() const { return name_; }

private:
    std::string name_, path_;
    uint64_t offset_;
    std::map<uint64_t, TskRecord> records_;
    std::map<uint64_t, std::set<std::string>> longNames_;
};

std::vector<DeletedFileInfo> Scan(const VolumeSource& source) {
    auto log = std::make_shared<CollectingNotify::Log>();
    FileScanTask task;
    task.SetNotify(std::make_unique<CollectingNotify>(log));
    task.SetVolume(source);
    task.SetFilters(L"");
    EXPECT_TRUE(task.Start());
    task.Wait();
    EXPECT_EQ(task.GetState(), kScanFinished);
    return log->files;
}

// Manifest rows of deleted files, by record: (name, folder path as the scan writes it, size).
struct ManifestFile {
    std::string name, path;
    uint64_t size;
};

std::map<uint64_t, std::vector<ManifestFile>> DeletedInManifest(const std::string& name) {
    std::map<uint64_t, std::vector<ManifestFile>> files;
    auto text = ReadText(std::string(QUORRET_SOURCE_DIR) + "/tests/fixtures/" + name + ".manifest.tsv");
    if (!text) return files;
    std::set<std::string> nameGone;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Lines(*text)) {
        if (line.rfind("# name-gone\t", 0) == 0) nameGone.insert(line.substr(12));
        if (line.empty() || line[0] == '#' || line.rfind("record\t", 0) == 0) continue;
        rows.push_back(Split(line, '\t'));
    }
    for (const auto& row : rows) {
        if (row.size() < 6 || row[1] != "1" || row[2] != "file" || nameGone.count(row[5])) continue;
        size_t slash = row[5].rfind('/');
        std::string folder = slash == std::string::npos ? "" : row[5].substr(0, slash);
        std::string path = "\\" + folder + (folder.empty() ? "" : "\\");
        for (char& c : path)
            if (c == '/') c = '\\';
        files[std::stoull(row[0])].push_back(
            {slash == std::string::npos ? row[5] : row[5].substr(slash + 1), path, std::stoull(row[3])});
    }
    return files;
}

void CheckVolume(const Volume& volume, const std::string& kind) {
    SCOPED_TRACE(volume.Name());
    std::map<uint64_t, DeletedFileInfo> reported;
    for (const DeletedFileInfo& file : Scan(volume.Source())) {
        EXPECT_TRUE(reported.emplace(file.GetRecordNumber(), file).second) << "record reported twice";
    }

    std::set<uint64_t> expected;
    for (const auto& [n, record] : volume.Records())
        if (n >= 16 && !record.allocated && !record.directory && !record.extension &&
            !volume.LongNames(record, n).empty())
            expected.insert(n);

    const std::string outDir = std::string(QUORRET_BINARY_DIR) + "/scan-oracle/" + volume.Name();
    uint32_t error = 0;
    ASSERT_TRUE(CreateDirectoryTree(Utf8ToWide(outDir), &error)) << outDir;
    for (uint64_t n : expected) {
        auto it = reported.find(n);
        const TskRecord& tsk = volume.Records().at(n);
        if (it == reported.end()) {
            ADD_FAILURE() << "record " << n << " (" << tsk.names.front().first << ") is not reported";
            continue;
        }
        const DeletedFileInfo& file = it->second;
        const std::string name = WideToUtf8(file.GetName());
        SCOPED_TRACE(testing::Message() << "record " << n << " " << name);
        auto names = volume.LongNames(tsk, n);
        auto named = std::find_if(names.begin(), names.end(), [&](const auto& e) { return e.first == name; });
        ASSERT_NE(named, names.end()) << "TSK does not know this name";
        EXPECT_EQ(WideToUtf8(file.GetPath()), volume.FolderPath(named->second, n));
        EXPECT_EQ(file.GetSize(), tsk.size);
        EXPECT_EQ(file.GetModifiedTime(), tsk.modified);
        EXPECT_EQ(file.GetCreationTime(), tsk.created);
        EXPECT_EQ(file.GetAccessTime(), tsk.accessed);

        const std::string dest = outDir + "/" + std::to_string(n) + ".bin";
        bool restored = RestoreFile(volume.Source(), n, Utf8ToWide(dest));
        if (tsk.encrypted) {
            EXPECT_FALSE(restored) << "an encrypted file was written out";
            continue;
        }
        auto icat = ReadText(volume.IcatPath(n) + ".bin");
        auto icatRc = ReadText(volume.IcatPath(n) + ".rc");
        if (!icat) {
            EXPECT_EQ(file.GetSize(), 0u) << "TSK sees no unnamed $DATA";
            continue;
        }
        ASSERT_TRUE(icatRc && std::stoi(*icatRc) == 0 && icat->size() == tsk.size)
            << "icat could not read the whole stream: nothing to compare with";
        EXPECT_TRUE(restored);
        auto ours = ReadText(dest);
        ASSERT_TRUE(ours);
        EXPECT_TRUE(*ours == *icat) << "restored bytes differ from icat (" << ours->size() << " and " << icat->size()
                                    << " bytes)";
    }
    std::printf("%s: %zu deleted files reported, %zu selected by TSK's records\n", volume.Name().c_str(),
                reported.size(), expected.size());
    for (const auto& [n, file] : reported)
        EXPECT_TRUE(expected.count(n)) << "record " << n << " (" << WideToUtf8(file.GetName())
                                       << ") is reported but TSK does not select it";

    if (kind != "fixture") return;
    for (const auto& [n, rows] : DeletedInManifest(volume.Name())) {
        auto it = reported.find(n);
        if (it == reported.end()) {
            ADD_FAILURE() << "manifest's deleted " << rows.front().path << rows.front().name << " (record " << n
                          << ") is not reported";
            continue;
        }
        const std::string name = WideToUtf8(it->second.GetName()), path = WideToUtf8(it->second.GetPath());
        bool listed = std::any_of(rows.begin(), rows.end(), [&](const ManifestFile& row) {
            return row.name == name && row.path == path && row.size == it->second.GetSize();
        });
        EXPECT_TRUE(listed) << "record " << n << " reported as " << path << name << " size " << it->second.GetSize()
                            << "; the manifest has " << rows.front().path << rows.front().name << " size "
                            << rows.front().size;
    }
}

}  // namespace

TEST(FixtureOracle, ScanAndRestoreAgreeWithTheSleuthKit) {
    auto list = ReadText(kImages + "/images.tsv");
    ASSERT_TRUE(list) << "no " << kImages << "/images.tsv: run tests/ntfs/prepare-images.sh (ctest does)";
    int volumes = 0, fixtures = 0;
    for (const std::string& line : Lines(*list)) {
        auto f = Split(line, '\t');
        if (f.size() < 5 || f[4] != "1") continue;  // TSK cannot read it: nothing to compare with
        Volume volume(f[0], f[2], std::stoull(f[3]));
        ASSERT_TRUE(volume.Load()) << f[0];
        CheckVolume(volume, f[1]);
        ++volumes;
        fixtures += f[1] == "fixture";
    }
    EXPECT_GE(fixtures, 5);
    EXPECT_GE(volumes, fixtures);
}

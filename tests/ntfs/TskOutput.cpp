#include "tests/ntfs/TskOutput.h"

#include <cstdio>
#include <sstream>

#include "base/Utf16.h"

namespace QuorretTest {

std::string ImagesDir() { return QUORRET_NTFS_IMAGES_DIR; }

std::optional<std::string> ReadTextFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

std::vector<ImageEntry> LoadImages() {
    std::vector<ImageEntry> images;
    auto text = ReadTextFile(ImagesDir() + "/images.tsv");
    if (!text) return images;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        ImageEntry e;
        std::string offset, tsk;
        if (!std::getline(fields, e.name, '\t') || !std::getline(fields, e.kind, '\t') ||
            !std::getline(fields, e.path, '\t') || !std::getline(fields, offset, '\t') || !std::getline(fields, tsk))
            continue;
        e.offset = std::stoull(offset);
        e.tsk = tsk == "1";
        images.push_back(e);
    }
    return images;
}

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string After(const std::string& s, const char* prefix) {
    size_t at = s.find(prefix);
    return at == std::string::npos ? std::string() : s.substr(at + std::char_traits<char>::length(prefix));
}

// Days from 1601-01-01 to the given date (proleptic Gregorian).
int64_t DaysFrom1601(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days1970 = era * 146097 + doe - 719468;
    return days1970 + 134774;
}

}  // namespace

std::optional<uint64_t> ParseTskTime(const std::string& text) {
    int y, mo, d, h, mi, s;
    char frac[16] = {};
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%15[0-9]", &y, &mo, &d, &h, &mi, &s, frac) < 6) return std::nullopt;
    if (y == 0) return 0;
    std::string f(frac);
    f.resize(7, '0');  // nanoseconds, of which 100-ns ticks are the first seven digits
    int64_t seconds = DaysFrom1601(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return static_cast<uint64_t>(seconds) * 10000000ull + std::stoull(f);
}

TskRecord ParseIstat(const std::string& text) {
    TskRecord r;
    enum { None, Standard, FileName, Attributes } section = None;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (section == None && (line == "Allocated File" || line == "Allocated Directory" ||
                                line == "Not Allocated File" || line == "Not Allocated Directory")) {
            r.readable = true;
            r.allocated = StartsWith(line, "Allocated ");
            r.directory = line.find("Directory") != std::string::npos;
        } else if (section == None && StartsWith(line, "Base File Record: ")) {
            r.baseRecord = std::stoull(line.substr(18));
        } else if (StartsWith(line, "$STANDARD_INFORMATION Attribute Values:")) {
            section = Standard;
            r.hasStandardInfo = true;
        } else if (StartsWith(line, "$FILE_NAME Attribute Values:")) {
            section = FileName;
        } else if (StartsWith(line, "Attributes:")) {
            section = Attributes;
        } else if (section == Standard && StartsWith(line, "Created:")) {
            r.created = ParseTskTime(After(line, "\t")).value_or(0);
        } else if (section == Standard && StartsWith(line, "File Modified:")) {
            r.modified = ParseTskTime(After(line, "\t")).value_or(0);
        } else if (section == Standard && StartsWith(line, "Accessed:")) {
            r.accessed = ParseTskTime(After(line, "\t")).value_or(0);
        } else if (section == FileName && StartsWith(line, "Name: ")) {
            r.names.push_back(Vorlaq::Utf8ToWide(line.substr(6)));
        } else if (section == FileName && StartsWith(line, "Parent MFT Entry: ")) {
            r.parents.push_back(std::stoull(line.substr(18)));
        } else if (section == Attributes && !r.hasData && StartsWith(line, "Type: $DATA (128-") &&
                   line.find("Name: N/A") != std::string::npos) {
            r.hasData = true;
            r.dataNonResident = line.find("Non-Resident") != std::string::npos;
            r.dataSize = std::stoull(After(line, "size: "));
            std::string init = After(line, "init_size: ");
            r.initSize = init.empty() ? r.dataSize : std::stoull(init);
        }
    }
    return r;
}

std::map<uint64_t, std::vector<std::wstring>> ParseFls(const std::string& text) {
    std::map<uint64_t, std::vector<std::wstring>> names;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // "r/r * 66-128-2:\tdir/name" or "d/d 64-144-2:\tdir"
        size_t tab = line.find('\t');
        size_t space = line.find(' ');
        if (tab == std::string::npos || space == std::string::npos) continue;
        size_t at = space + 1;
        if (line.compare(at, 2, "* ") == 0) at += 2;
        uint64_t number = 0;
        bool digits = false;
        while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
            number = number * 10 + static_cast<uint64_t>(line[at++] - '0');
            digits = true;
        }
        if (!digits) continue;
        std::string path = line.substr(tab + 1);
        size_t slash = path.rfind('/');
        names[number].push_back(Vorlaq::Utf8ToWide(slash == std::string::npos ? path : path.substr(slash + 1)));
    }
    return names;
}

}  // namespace QuorretTest

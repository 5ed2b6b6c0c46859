// The parsers of traces: change-journal records against Windows' own decoding of a journal
// (fsutil usn readjournal), and $FILE_NAME carving from slack, on Windows-written record slack
// and on entries made here in each form the carver knows, good and bad.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "base/Utf16.h"
#include "ntfs/NTFSSlackNames.h"
#include "ntfs/NTFSUpdateSequence.h"
#include "ntfs/NTFSUsnRecord.h"
#include "tests/ntfs/NTFSTestUtil.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

const std::string kWindows = std::string(QUORRET_SOURCE_DIR) + "/../shared/fixtures/windows/";

std::optional<Bytes> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// fsutil's blocks: "Key   : value" lines, a blank line between records (CRLF).
std::vector<std::map<std::string, std::string>> FsutilRecords(const std::string& text) {
    std::vector<std::map<std::string, std::string>> records;
    std::istringstream lines(text);
    std::string line;
    std::string lastKey;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(" : ");
        if (colon == std::string::npos && line.size() > 2 && line.ends_with(" :")) colon = line.size() - 2;
        if (line.rfind("Usn ", 0) == 0) records.emplace_back();
        if (records.empty()) continue;
        if (colon != std::string::npos) {
            std::string key = line.substr(0, colon);
            while (!key.empty() && key.back() == ' ') key.pop_back();
            lastKey = key;
            records.back()[key] = line.substr(std::min(colon + 3, line.size()));
        } else if (lastKey == "Extents" && !line.empty()) {
            records.back()["Extents"] += line;
        }
    }
    return records;
}

std::string Hex(uint64_t high, uint64_t low) {
    char text[40];
    std::snprintf(text, sizeof text, "%016" PRIx64 "%016" PRIx64, high, low);
    return text;
}

std::string Flags(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "1/22/2019 21:36:10" as Unix seconds of that wall-clock time.
int64_t WallSeconds(const std::string& text) {
    unsigned month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%u/%u/%u %u:%u:%u", &month, &day, &year, &hour, &minute, &second) != 6) return -1;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

int64_t UnixSeconds(uint64_t filetime) { return static_cast<int64_t>(filetime / 10000000) - 11644473600; }

}  // namespace

TEST(ChangeJournal, EveryRecordDecodesAsFsutilDoes) {
    auto journal = ReadFile(kWindows + "dfir_ntfs/usnjrnlj.bin");
    auto oracle = ReadFile(kWindows + "dfir_ntfs/usnjrnlj.fsutil.txt");
    if (!journal || !oracle) GTEST_SKIP() << "Windows-written data not found beside the repository";
    std::vector<NTFSUsnRecord> records;
    EXPECT_EQ(ParseUsnRecords(ByteReader(journal->data(), journal->size()), &records), journal->size());
    const std::string text(oracle->begin(), oracle->end());
    const auto expected = FsutilRecords(text);
    ASSERT_EQ(expected.size(), 268u);
    // The stream goes on past the journal's end when fsutil read it: three version-2 records
    // written after, numbered from its "Next USN" on.
    const size_t next = text.find("Next USN          : ");
    ASSERT_NE(next, std::string::npos);
    const int64_t nextUsn = std::stoll(text.substr(next + 20));
    ASSERT_EQ(records.size(), expected.size() + 3);
    for (size_t i = expected.size(); i < records.size(); ++i) {
        EXPECT_EQ(records[i].majorVersion, 2);
        EXPECT_EQ(records[i].usn, i == expected.size() ? nextUsn : records[i - 1].usn + records[i - 1].length);
    }

    std::set<int64_t> zoneOffsets;  // fsutil prints local time: one offset for the whole journal
    for (size_t i = 0; i < expected.size(); ++i) {
        const NTFSUsnRecord& r = records[i];
        auto want = expected[i];
        SCOPED_TRACE("USN " + want["Usn"]);
        EXPECT_EQ(std::to_string(r.usn), want["Usn"]);
        EXPECT_EQ(Flags(r.reason), want["Reason"].substr(0, 10));
        EXPECT_EQ(Hex(r.fileRefHigh, r.fileRefLow), want["File ID"]);
        EXPECT_EQ(Hex(r.parentRefHigh, r.parentRefLow), want["Parent file ID"]);
        EXPECT_EQ(Flags(r.sourceInfo), want["Source info"].substr(0, 10));
        EXPECT_EQ(std::to_string(r.minorVersion), want["Minor version"]);
        if (r.majorVersion == 2) {
            // Asked for versions 2 to 4, fsutil hands a stored version-2 record out as version 3:
            // 128-bit ids, and the length that form takes.
            EXPECT_EQ(want["Major version"], "3");
            EXPECT_EQ(want["Record length"], std::to_string((0x4C + r.nameBytes + 7) / 8 * 8));
        } else {
            EXPECT_EQ(std::to_string(r.majorVersion), want["Major version"]);
            EXPECT_EQ(std::to_string(r.length), want["Record length"]);
        }
        if (r.majorVersion == 4) {
            EXPECT_EQ(std::to_string(r.extents.size()), want["Number of extents"]);
            EXPECT_EQ(std::to_string(r.remainingExtents), want["Remaining extents"]);
            std::string extents;
            for (size_t e = 0; e < r.extents.size(); ++e)
                extents += "    [" + std::to_string(e + 1) + ": " + std::to_string(r.extents[e].offset) + ", " +
                           std::to_string(r.extents[e].length) + "] ";
            EXPECT_EQ(extents, want["Extents"]);
            continue;
        }
        EXPECT_EQ(WideToUtf8(r.name), want["File name"]);
        EXPECT_EQ(std::to_string(r.nameBytes), want["File name length"]);
        EXPECT_EQ(Flags(r.fileAttributes), want["File attributes"].substr(0, 10));
        EXPECT_EQ(std::to_string(r.securityId), want["Security ID"]);
        zoneOffsets.insert(WallSeconds(want["Time stamp"]) - UnixSeconds(r.timeStamp));
    }
    ASSERT_EQ(zoneOffsets.size(), 1u);
    EXPECT_EQ(*zoneOffsets.begin() % 900, 0);

    // Cut anywhere, the walk keeps what is whole and never reads past the cut.
    for (size_t cut = 0; cut < 1024; cut += 8) {
        std::vector<NTFSUsnRecord> some;
        const size_t end = ParseUsnRecords(ByteReader(journal->data(), cut), &some);
        size_t whole = 0;
        for (const NTFSUsnRecord& r : some) whole += r.length;
        EXPECT_LE(end, cut);
        EXPECT_EQ(end, whole);  // the journal starts with records end to end
    }
}

TEST(SlackNames, WindowsRecordSlackHoldsItsFoldersOldEntries) {
    auto mft = ReadFile(kWindows + "dfir_ntfs/slack.mft");
    if (!mft) GTEST_SKIP() << "Windows-written data not found beside the repository";
    constexpr size_t kRecord = 39, kSize = 1024;
    Bytes record(mft->begin() + kRecord * kSize, mft->begin() + (kRecord + 1) * kSize);
    ASSERT_TRUE(ApplyUpdateSequence(record.data(), record.size()));
    std::vector<std::pair<std::wstring, uint64_t>> found;
    for (const NTFSSlackName& name : CarveFileNames(FileRecordSlack(ByteReader(record.data(), record.size())))) {
        EXPECT_EQ(name.form, NTFSSlackForm::IndexEntry);
        EXPECT_EQ(*name.value.U64(0), 0x0001000000000027u);  // the folder itself, record 39
        found.emplace_back(DecodeUtf16Le(name.value.data() + 0x42, *name.value.U8(0x40)), name.fileRef);
    }
    const std::vector<std::pair<std::wstring, uint64_t>> expected = {
        {L"New Text Document - Copy (3).txt", 0x000100000000002Eu},
        {L"New Text Document - Copy.txt", 0x000100000000002Cu},
        {L"New Text Document.txt", 0x000100000000002Bu}};
    EXPECT_EQ(found, expected);
}

namespace {

constexpr uint64_t kTime = 133500000000000000ull;  // 2024
constexpr uint64_t kParent = 0x0003000000000040ull;

Bytes FileNameValue(const std::u16string& name, uint8_t nameSpace = 1, uint64_t time = kTime) {
    Bytes v(0x42 + name.size() * 2, 0);
    PutLE(v, 0x00, kParent, 8);
    for (size_t at = 0x08; at <= 0x20; at += 8) PutLE(v, at, time, 8);
    PutLE(v, 0x30, 1234, 8);
    PutLE(v, 0x38, 0x20, 4);
    v[0x40] = static_cast<uint8_t>(name.size());
    v[0x41] = nameSpace;
    for (size_t i = 0; i < name.size(); ++i) PutLE(v, 0x42 + 2 * i, name[i], 2);
    return v;
}

void Append(Bytes& slack, const Bytes& bytes) {
    slack.insert(slack.end(), bytes.begin(), bytes.end());
    slack.resize((slack.size() + 7) / 8 * 8, 0);
}

Bytes Entry(uint64_t fileRef, const Bytes& key) {
    Bytes e(0x10 + key.size(), 0);
    PutLE(e, 0x00, fileRef, 8);
    PutLE(e, 0x08, (0x10 + key.size() + 7) / 8 * 8, 2);
    PutLE(e, 0x0A, key.size(), 2);
    std::copy(key.begin(), key.end(), e.begin() + 0x10);
    return e;
}

Bytes Attribute(const Bytes& value) {
    Bytes a(0x18 + value.size(), 0);
    PutLE(a, 0x00, 0x30, 4);
    PutLE(a, 0x04, (0x18 + value.size() + 7) / 8 * 8, 4);
    PutLE(a, 0x10, value.size(), 4);
    PutLE(a, 0x14, 0x18, 2);
    a[0x16] = 1;
    std::copy(value.begin(), value.end(), a.begin() + 0x18);
    return a;
}

}  // namespace

TEST(SlackNames, EachFormIsFoundAndImplausibleNamesAreNot) {
    Bytes slack;
    Append(slack, Entry(0x0002000000000050ull, FileNameValue(u"entry.txt")));
    Append(slack, Attribute(FileNameValue(u"attribute.txt", 0)));
    Bytes end(0x10, 0);  // a node's end entry written over the header of the entry deleted last
    PutLE(end, 0x08, 0x10, 2);
    end[0x0C] = 2;
    Append(slack, end);
    Append(slack, FileNameValue(u"lone key.docx"));
    // None of these: a time before 1980, a control character, ':' in a Win32 name, a lone
    // surrogate, "..". An entry whose key length is not its name's, or with an unknown flag, is
    // not believed as an entry: its file reference is dropped and only its key remains.
    Append(slack, Entry(0x51, FileNameValue(u"old.txt", 1, 100)));
    Append(slack, Entry(0x52, FileNameValue(u"bell\u0007.txt")));
    Append(slack, Entry(0x53, FileNameValue(u"a:b.txt")));
    Append(slack, Entry(0x54, FileNameValue(std::u16string(u"x") + char16_t(0xD800) + u".txt")));
    Append(slack, Entry(0x55, FileNameValue(u"..")));
    Bytes longKey = Entry(0x56, FileNameValue(u"short.txt"));
    PutLE(longKey, 0x0A, 0x42 + 2 * 9 + 2, 2);
    Append(slack, longKey);
    Bytes flagged = Entry(0x57, FileNameValue(u"flagged.txt"));
    flagged[0x0C] = 0x10;
    Append(slack, flagged);
    // An entry whose header describes its key but claims more than the block has left: neither
    // it nor its key alone.
    Bytes overlong = Entry(0x58, FileNameValue(u"overlong.txt"));
    PutLE(overlong, 0x08, 0xFFF0, 2);
    Append(slack, overlong);

    std::vector<std::tuple<NTFSSlackForm, uint64_t, std::wstring>> found;
    for (const NTFSSlackName& name : CarveFileNames(ByteReader(slack.data(), slack.size())))
        found.emplace_back(name.form, name.fileRef, DecodeUtf16Le(name.value.data() + 0x42, *name.value.U8(0x40)));
    const std::vector<std::tuple<NTFSSlackForm, uint64_t, std::wstring>> expected = {
        {NTFSSlackForm::IndexEntry, 0x0002000000000050ull, L"entry.txt"},
        {NTFSSlackForm::Attribute, 0, L"attribute.txt"},
        {NTFSSlackForm::Key, 0, L"lone key.docx"},
        {NTFSSlackForm::Key, 0, L"short.txt"},
        {NTFSSlackForm::Key, 0, L"flagged.txt"}};
    EXPECT_EQ(found, expected);

    // Every cut of the slack: no read past it, and never a name the whole slack does not hold.
    for (size_t cut = 0; cut <= slack.size(); ++cut) {
        Bytes part(slack.begin(), slack.begin() + static_cast<std::ptrdiff_t>(cut));
        for (const NTFSSlackName& name : CarveFileNames(ByteReader(part.data(), part.size())))
            EXPECT_LE(name.value.data() + name.value.size(), part.data() + part.size());
    }
}

// The scan's printers over a handful of hand-made rows: texts that need escaping, a file whose
// times all differ, two partly overwritten files in a row, a file from an emptied Recycle Bin and
// one without times. ctest runs these again in time zones east of UTC, one of them half an hour
// off, where a time made local twice, or not at all, shows.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/Utf16.h"
#include "cli/Console.h"
#include "cli/ScanPrinter.h"

using namespace Vorlaq;

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr int64_t kUnixEpochSeconds = 11644473600ll;

uint64_t UtcFileTime(int64_t unixSeconds) { return static_cast<uint64_t>(unixSeconds + kUnixEpochSeconds) * kTicksPerSecond; }

// A found file as the scan hands it over: its list times local, its $STANDARD_INFORMATION UTC.
DeletedFileInfo Row(uint64_t record, const std::wstring& name, const std::wstring& path, uint64_t size,
                    int64_t created, int64_t modified, int64_t accessed, Recoverability recoverability) {
    DeletedFileInfo file(L"D:", record, name, path, size, nullptr, nullptr, nullptr);
    if (modified) {
        file.SetCreationTime(UtcFileTime(created));
        file.SetModifiedTime(UtcFileTime(modified));
        file.SetAccessTime(UtcFileTime(accessed));
        file.SetStandardTimes({UtcFileTime(created), UtcFileTime(modified), UtcFileTime(modified + 60),
                               UtcFileTime(accessed)});
    }
    file.SetRecoverability(recoverability);
    return file;
}

std::vector<DeletedFileInfo> Rows() {
    std::vector<DeletedFileInfo> rows;
    // 2024-04-30 22:10:05, 2024-05-02 09:15:30 and 2024-05-04 23:59:59 UTC: at +02:00 and +09:30
    // the first and the last fall on another day.
    rows.push_back(Row(70, L"Report Q1.DOCX", L"\\Documents\\", 30000, 1714515005, 1714641330, 1714867199,
                       {RecoverState::Partial, 83}));
    rows.push_back(Row(71, L"a\tb\r\nc\\d|e\"f\x1B.txt", L"\\x|y\\", 5, 1714515005, 1714641330, 1714867199,
                       {RecoverState::Partial, 41}));
    DeletedFileInfo bin = Row(72, L"$RX7Q2ZK.docx", L"\\$Recycle.Bin\\S-1-5-21\\", 1234567, 1704067200, 1704067200,
                              1704067200, {RecoverState::Intact, 0});
    bin.SetOriginalPath(L"D:\\Work\\Quarterly report.docx");
    bin.SetDeletionTime(UtcFileTime(1725272100));  // 2024-09-02 10:15:00 UTC
    bin.SetReadOnly(true);
    rows.push_back(bin);
    rows.push_back(Row(73, L"no times", L"\\", 0, 0, 0, 0, {RecoverState::Overwritten, 0}));
    return rows;
}

std::string Print(ScanFormat format, bool recoverable = true) {
    Console console(false);
    testing::internal::CaptureStdout();
    std::unique_ptr<ScanPrinter> printer = MakeScanPrinter(format, console, recoverable);
    for (const DeletedFileInfo& row : Rows()) printer->Add(row);
    printer->Finish();
    return testing::internal::GetCapturedStdout();
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// Every ISO 8601 time with its offset replaced by "@" and the Unix seconds it stands for: what
// the text says, whatever zone the test runs in. `locals` gets each time's local date and minute.
std::string TimesAsUtc(const std::string& text, std::vector<std::string>* locals = nullptr) {
    static const std::regex iso(R"((\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)([+-])(\d\d):(\d\d))");
    std::string out;
    auto at = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), iso), end; it != end; ++it) {
        const std::smatch& m = *it;
        auto n = [&](int i) { return std::stoll(m[i].str()); };
        const int64_t offset = (m[7] == "-" ? -1 : 1) * (n(8) * 3600 + n(9) * 60);
        const int64_t local = DaysFromCivil(n(1), n(2), n(3)) * 86400 + n(4) * 3600 + n(5) * 60 + n(6);
        out.append(at, m[0].first) += "@" + std::to_string(local - offset);
        at = m[0].second;
        if (locals) locals->push_back(m[0].str().substr(0, 10) + " " + m[0].str().substr(11, 5));
    }
    return out.append(at, text.cend());
}

}  // namespace

TEST(ScanPrinter, TsvDecodesBackAndEveryTimeIsTheFilesOwn) {
    EXPECT_EQ(TimesAsUtc(Print(ScanFormat::Tsv)),
              "record\tname\tpath\ttype\tsize\tmodified\tcreated\taccessed\trecoverable\toriginal_path\tdeleted\n"
              "70\tReport Q1.DOCX\t\\\\Documents\\\\\tdocx\t30000\t@1714641330\t@1714515005\t@1714867199\t83%\t\t\n"
              "71\ta\\tb\\r\\nc\\\\d|e\"f\\x1B.txt\t\\\\x|y\\\\\ttxt\t5\t@1714641330\t@1714515005\t@1714867199\t41%\t\t\n"
              "72\t$RX7Q2ZK.docx\t\\\\$Recycle.Bin\\\\S-1-5-21\\\\\tdocx\t1234567\t@1704067200\t@1704067200\t@1704067200\t"
              "intact\tD:\\\\Work\\\\Quarterly report.docx\t@1725272100\n"
              "73\tno times\t\\\\\t\t0\t\t\t\toverwritten\t\t\n");
    EXPECT_EQ(TimesAsUtc(Print(ScanFormat::Tsv, false)).substr(0, 99),
              "record\tname\tpath\ttype\tsize\tmodified\tcreated\taccessed\toriginal_path\tdeleted\n"
              "70\tReport Q1.DOCX\t\\\\Docu");
}

TEST(ScanPrinter, JsonLines) {
    EXPECT_EQ(TimesAsUtc(Print(ScanFormat::Json)),
              "{\"record\":70,\"name\":\"Report Q1.DOCX\",\"path\":\"\\\\Documents\\\\\",\"type\":\"docx\","
              "\"size\":30000,\"modified\":\"@1714641330\",\"created\":\"@1714515005\",\"accessed\":\"@1714867199\","
              "\"recoverable\":\"83%\",\"original_path\":null,\"deleted\":null}\n"
              "{\"record\":71,\"name\":\"a\\tb\\r\\nc\\\\d|e\\\"f\\u001B.txt\",\"path\":\"\\\\x|y\\\\\",\"type\":\"txt\","
              "\"size\":5,\"modified\":\"@1714641330\",\"created\":\"@1714515005\",\"accessed\":\"@1714867199\","
              "\"recoverable\":\"41%\",\"original_path\":null,\"deleted\":null}\n"
              "{\"record\":72,\"name\":\"$RX7Q2ZK.docx\",\"path\":\"\\\\$Recycle.Bin\\\\S-1-5-21\\\\\",\"type\":\"docx\","
              "\"size\":1234567,\"modified\":\"@1704067200\",\"created\":\"@1704067200\",\"accessed\":\"@1704067200\","
              "\"recoverable\":\"intact\",\"original_path\":\"D:\\\\Work\\\\Quarterly report.docx\","
              "\"deleted\":\"@1725272100\"}\n"
              "{\"record\":73,\"name\":\"no times\",\"path\":\"\\\\\",\"type\":\"\",\"size\":0,\"modified\":null,"
              "\"created\":null,\"accessed\":null,\"recoverable\":\"overwritten\",\"original_path\":null,"
              "\"deleted\":null}\n");
}

// The table shows local times to the minute, the same the tsv's offset says.
TEST(ScanPrinter, TableRowsUnderTheirTitles) {
    std::vector<std::string> locals;
    TimesAsUtc(Print(ScanFormat::Tsv), &locals);
    ASSERT_EQ(locals.size(), 10u);  // modified, created and accessed of three rows, and a deletion
    const std::string table = Print(ScanFormat::Table);
    std::vector<std::string> lines;
    for (size_t begin = 0, end; (end = table.find('\n', begin)) != std::string::npos; begin = end + 1)
        lines.push_back(table.substr(begin, end - begin));
    ASSERT_EQ(lines.size(), 5u) << table;
    EXPECT_EQ(lines[0], "Index  Name                     Path            Type      Size  Modified Time     "
                        "Creation Time     Recoverable");
    EXPECT_EQ(lines[1], "   70  Report Q1.DOCX           \\Documents\\     docx  29.30 KB  " + locals[0] + "  " +
                            locals[1] + "  83%");
    EXPECT_EQ(lines[2], "   71  a\\tb\\r\\nc\\d|e\"f\\x1B.txt  \\x|y\\           txt    5 Bytes  " + locals[3] + "  " +
                            locals[4] + "  41%");
    EXPECT_EQ(lines[3], "   72  Quarterly report.docx    D:\\Work\\ (bin)  docx   1.18 MB  " + locals[6] + "  " +
                            locals[7] + "  intact");
    EXPECT_EQ(lines[4], "   73  no times                 \\                            0  1601-01-01 00:00  "
                        "1601-01-01 00:00  overwritten");
}

TEST(ScanPrinter, BodyFileInUtcSeconds) {
    EXPECT_EQ(Print(ScanFormat::Body),
              "0|/Documents/Report Q1.DOCX|70|-/rrwxrwxrwx|0|0|30000|1714867199|1714641330|1714641390|1714515005\n"
              "0|/x\\x7cy/a\\tb\\r\\nc\\d\\x7ce\"f\\x1B.txt|71|-/rrwxrwxrwx|0|0|5|1714867199|1714641330|1714641390|"
              "1714515005\n"
              "0|/$Recycle.Bin/S-1-5-21/$RX7Q2ZK.docx|72|-/rr-xr-xr-x|0|0|1234567|1704067200|1704067200|1704067260|"
              "1704067200\n"
              "0|/no times|73|-/rrwxrwxrwx|0|0|0|0|0|0|0\n");
}

#include <gtest/gtest.h>

#include "base/Utf16.h"
#include "cli/Arguments.h"

using namespace Vorlaq;

namespace {
ParsedArguments Parse(std::vector<std::wstring> args) { return ParseArguments(args); }
}  // namespace

TEST(Arguments, ScanWithEveryOption) {
    auto r = Parse({L"scan", L"disk.img", L"--filter", L"*.txt;*.log", L"--format=json", L"--offset", L"2048s",
                    L"--threads", L"3", L"--verbose", L"--traces"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.command, CliCommand::Scan);
    EXPECT_EQ(r.options.source, L"disk.img");
    EXPECT_EQ(r.options.driveLetter, 0);
    EXPECT_EQ(r.options.filter, std::wstring(L"*.txt;*.log"));
    EXPECT_EQ(r.options.format, ScanFormat::Json);
    EXPECT_EQ(r.options.offset, std::optional<uint64_t>(1048576));
    EXPECT_EQ(r.options.threads, 3u);
    EXPECT_TRUE(r.options.verbose);
    EXPECT_TRUE(r.options.traces);
    r = Parse({L"info", L"disk.E01", L"--partition=2"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.partition, std::optional<uint32_t>(2));
}

TEST(Arguments, Defaults) {
    auto r = Parse({L"scan", L"D:"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.format, ScanFormat::Table);
    EXPECT_FALSE(r.options.filter);
    EXPECT_FALSE(r.options.offset);
    EXPECT_FALSE(r.options.verbose);
    EXPECT_FALSE(r.options.traces);
    EXPECT_EQ(r.options.threads, 0u);  // the default count
    EXPECT_EQ(r.options.driveLetter, L'D');
}

TEST(Arguments, RestoreRecordsAndAll) {
    auto r = Parse({L"restore", L"img", L"--out", L"out", L"64", L"70", L"281474976710655"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.outDir, L"out");
    EXPECT_EQ(r.options.records, (std::vector<uint64_t>{64, 70, 281474976710655ull}));
    EXPECT_FALSE(r.options.all);

    r = Parse({L"restore", L"img", L"--all", L"--filter=doc", L"--tree", L"--out=o", L"--threads=2"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.all);
    EXPECT_EQ(r.options.threads, 2u);
    EXPECT_TRUE(r.options.tree);
    EXPECT_EQ(r.options.filter, std::wstring(L"doc"));
    EXPECT_TRUE(r.options.records.empty());
}

TEST(Arguments, RecoverableBodyAndWhatARestoreKeeps) {
    auto r = Parse({L"scan", L"img", L"--recoverable", L"--format", L"body"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.recoverableOnly);
    EXPECT_TRUE(r.options.recoverableColumn);
    EXPECT_EQ(r.options.format, ScanFormat::Body);
    r = Parse({L"scan", L"img", L"--no-recoverable"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.options.recoverableColumn);
    r = Parse({L"restore", L"img", L"--out", L"o", L"--all", L"--recoverable", L"--keep-times", L"--streams"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.recoverableOnly && r.options.keepTimes && r.options.streams);
    r = Parse({L"restore", L"img", L"--out", L"o", L"7"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.options.recoverableOnly || r.options.keepTimes || r.options.streams);
}

TEST(Arguments, DoubleDashEndsOptions) {
    auto r = Parse({L"info", L"--", L"-odd-name.img"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.source, L"-odd-name.img");
}

TEST(Arguments, HelpAnywhere) {
    for (auto args : std::vector<std::vector<std::wstring>>{{L"--help"}, {L"-h"}, {L"scan", L"--help"},
                                                             {L"restore", L"x", L"-h"}}) {
        auto r = Parse(args);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.options.command, CliCommand::Help);
    }
}

TEST(Arguments, RefusedCommandLines) {
    std::vector<std::vector<std::wstring>> bad = {
        {},
        {L"list", L"img"},
        {L"scan"},
        {L"scan", L"img", L"extra"},
        {L"scan", L"img", L"--bogus"},
        {L"scan", L"img", L"--out", L"o"},          // restore's option
        {L"scan", L"img", L"--all"},
        {L"scan", L"img", L"--format", L"csv"},
        {L"scan", L"img", L"--format"},            // value missing
        {L"scan", L"img", L"--verbose=yes"},       // flag with a value
        {L"info", L"img", L"--filter", L"txt"},
        {L"info", L"img", L"--format", L"tsv"},
        {L"restore", L"img", L"--format", L"tsv", L"--out", L"o", L"--all"},
        {L"restore", L"img", L"--all"},            // no --out
        {L"restore", L"img", L"--out", L""},
        {L"restore", L"img", L"--out", L"o"},      // neither records nor --all
        {L"restore", L"img", L"--out", L"o", L"--all", L"5"},
        {L"restore", L"img", L"--out", L"o", L"--filter", L"txt", L"5"},
        {L"restore", L"img", L"--out", L"o", L"12x"},
        {L"restore", L"img", L"--out", L"o", L"-5"},
        {L"restore", L"img", L"--out", L"o", L"281474976710656"},  // beyond 48 bits
        {L"scan", L"img", L"--offset", L"12k"},
        {L"scan", L"D:", L"--offset", L"0"},
        {L"restore", L"img", L"--out", L"o", L"--recoverable", L"5"},  // goes with --all
        {L"scan", L"img", L"--recoverable", L"--no-recoverable"},
        {L"restore", L"img", L"--out", L"o", L"--all", L"--no-recoverable"},
        {L"scan", L"img", L"--streams"},
        {L"scan", L"img", L"--keep-times"},
        {L"info", L"img", L"--recoverable"},
        {L"scan", L"img", L"--partition", L"0"},
        {L"scan", L"img", L"--partition", L"4294967296"},
        {L"scan", L"D:", L"--partition", L"1"},
        {L"scan", L"img", L"--offset", L"0", L"--partition", L"1"},
        {L"restore", L"img", L"--out", L"o", L"--all", L"--traces"},  // a trace has no data
        {L"restore", L"img", L"--out", L"o", L"5", L"T3"},
        {L"restore", L"img", L"--out", L"a", L"--out", L"b", L"5"},  // given twice: which one?
        {L"restore", L"img", L"--out=a", L"--all", L"--out", L"a"},
        {L"scan", L"img", L"--verbose", L"--verbose"},
        {L"--version", L"extra"},
        {L"scan", L"img", L"--filter", L"old*"},  // a wildcard inside an extension matches nothing
        {L"restore", L"img", L"--out", L"o", L"--all", L"--filter", L"jpg; *.tx?"},
        {L"scan", L"img", L"--threads", L"0"},
        {L"scan", L"img", L"--threads", L"257"},
        {L"scan", L"img", L"--threads", L"two"},
        {L"info", L"img", L"--threads", L"2"},
        {L"restore", L"img", L"--out", L"o", L"--threads", L"2", L"5"},  // goes with --all
    };
    for (const auto& args : bad) {
        auto r = Parse(args);
        std::wstring joined;
        for (const auto& a : args) joined += a + L" ";
        EXPECT_FALSE(r.ok) << WideToUtf8(joined);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(Arguments, Offsets) {
    EXPECT_EQ(ParseOffset(L"0"), std::optional<uint64_t>(0));
    EXPECT_EQ(ParseOffset(L"1048576"), std::optional<uint64_t>(1048576));
    EXPECT_EQ(ParseOffset(L"2048s"), std::optional<uint64_t>(1048576));
    EXPECT_EQ(ParseOffset(L"63S"), std::optional<uint64_t>(32256));
    EXPECT_EQ(ParseOffset(L"18446744073709551615"), std::optional<uint64_t>(UINT64_MAX));
    EXPECT_FALSE(ParseOffset(L"18446744073709551616"));
    EXPECT_TRUE(ParseOffset(L"36028797018963967s"));
    EXPECT_FALSE(ParseOffset(L"36028797018963968s"));  // 2^55 sectors = 2^64 bytes
    for (const wchar_t* bad : {L"", L"s", L"-1", L"+1", L"1.5", L"0x10", L"1 ", L"1ss"})
        EXPECT_FALSE(ParseOffset(bad)) << WideToUtf8(bad);
}

TEST(Arguments, DriveLetters) {
    EXPECT_EQ(ParseDriveLetter(L"D:"), L'D');
    EXPECT_EQ(ParseDriveLetter(L"d:\\"), L'D');
    EXPECT_EQ(ParseDriveLetter(L"z:/"), L'Z');
    for (const wchar_t* notDrive : {L"", L"D", L"DD:", L"1:", L"D:x", L"D:\\x", L"./D:", L":"})
        EXPECT_EQ(ParseDriveLetter(notDrive), 0) << WideToUtf8(notDrive);
}

TEST(Arguments, ShadowCopyFilesGoByCopyAndRecord) {
    auto r = Parse({L"restore", L"img", L"--out", L"out", L"--shadow-copies", L"2:38", L"40"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.shadowRecords, (std::vector<ShadowRecordId>{{2, 38}}));
    EXPECT_EQ(r.options.records, (std::vector<uint64_t>{40}));
    r = Parse({L"restore", L"img", L"--out", L"out", L"--shadow-copies", L"--all"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.shadowCopies && r.options.all);
    // Without the option a copy's file is not a record number, and the refusal says what is missing.
    r = Parse({L"restore", L"img", L"--out", L"out", L"2:38"});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(L"--shadow-copies"), std::wstring::npos);
    for (const wchar_t* bad : {L"0:38", L"2:", L":38", L"2:x", L"4294967296:1"})
        EXPECT_FALSE(Parse({L"restore", L"img", L"--out", L"out", L"--shadow-copies", bad}).ok) << bad;
    EXPECT_FALSE(Parse({L"restore", L"img", L"--out", L"out", L"--shadow-copies", L"2:38", L"--all"}).ok);
    EXPECT_FALSE(Parse({L"info", L"img", L"--shadow-copies"}).ok);
}

TEST(Arguments, DeepScanFilesGoByPosition) {
    auto r = Parse({L"restore", L"disk.img", L"--deep", L"--out", L"o", L"@3223552", L"70"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.deep);
    EXPECT_EQ(r.options.oldRecords, std::vector<uint64_t>{3223552});
    EXPECT_EQ(r.options.records, std::vector<uint64_t>{70});
    EXPECT_TRUE(Parse({L"scan", L"disk.img", L"--deep", L"--format", L"tsv", L"--recoverable"}).ok);
    EXPECT_TRUE(Parse({L"scan", L"disk.img", L"--deep", L"--threads", L"2"}).ok);  // for benchmarks
    EXPECT_TRUE(Parse({L"restore", L"disk.img", L"--deep", L"--all", L"--tree", L"--filter", L"jpg", L"--out", L"o"}).ok);
    for (const std::vector<std::wstring>& refused : {
             std::vector<std::wstring>{L"restore", L"disk.img", L"--out", L"o", L"@1024"},
             {L"restore", L"disk.img", L"--deep", L"--out", L"o", L"@"},
             {L"restore", L"disk.img", L"--deep", L"--out", L"o", L"@12x"},
             {L"scan", L"disk.img", L"--deep", L"--traces"},
             {L"scan", L"disk.img", L"--deep", L"--shadow-copies"},
             {L"scan", L"disk.img", L"--deep", L"--format", L"body"},
             {L"info", L"disk.img", L"--deep"},
         }) {
        auto refusal = Parse(refused);
        EXPECT_FALSE(refusal.ok) << WideToUtf8(refused.back());
    }
    EXPECT_EQ(Parse({L"restore", L"disk.img", L"--out", L"o", L"@1024"}).error,
              L"'@1024' names a record found by the deep scan: add --deep");
}

#pragma once
// The command line of quorret-cli: what to do, on which source, with which options.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vorlaq {

enum class CliCommand { Help, Version, Info, Scan, Restore };
enum class ScanFormat { Table, Tsv, Json, Body };

// A file of a shadow copy as the scan names it: "2:38" is record 38 of copy 2.
struct ShadowRecordId {
    uint32_t copy = 0;
    uint64_t record = 0;
    bool operator==(const ShadowRecordId&) const = default;
};

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::wstring source;                // as typed
    wchar_t driveLetter = 0;            // set when the source is a drive letter such as D:
    std::optional<uint64_t> offset;     // --offset, in bytes
    std::optional<uint32_t> partition;  // --partition, the number the partition listing prints
    std::optional<uint64_t> partitionSize;  // the table's size of the partition at the offset, once looked up
    std::optional<std::wstring> filter; // --filter
    ScanFormat format = ScanFormat::Table;
    std::wstring outDir;                // restore --out
    std::vector<uint64_t> records;      // restore RECORD...
    bool all = false;                   // restore --all
    bool tree = false;                  // restore --tree
    bool keepTimes = false;             // restore --keep-times
    bool streams = false;               // restore --streams
    bool recoverableOnly = false;       // --recoverable: only files whose clusters are all free
    bool recoverableColumn = true;      // scan --no-recoverable turns the column (and the bitmap read) off
    bool originalNames = false;         // restore --original-names
    bool shadowCopies = false;          // scan, restore --shadow-copies: the files only shadow copies hold
    std::vector<ShadowRecordId> shadowRecords;  // restore COPY:RECORD... (with --shadow-copies)
    bool traces = false;                // scan --traces: names found only in slack and the change journal
    bool deep = false;                  // scan, restore --deep: every file record on the source, old file systems' too
    std::vector<uint64_t> oldRecords;   // restore @POSITION... (with --deep): records outside the live MFT
    unsigned threads = 0;               // --threads: threads that parse records; 0 for the default
    bool verbose = false;
};

struct ParsedArguments {
    bool ok = false;
    CliOptions options;
    std::wstring error;  // why the command line was refused, when !ok
};

// Parses the arguments that follow the program name.
ParsedArguments ParseArguments(const std::vector<std::wstring>& arguments);

// "N" bytes or "Ns" sectors of 512 bytes; nothing for anything else or a value beyond 64 bits.
std::optional<uint64_t> ParseOffset(const std::wstring& text);

// A drive letter with its colon, optionally followed by a backslash ("D:", "d:\"); 0 otherwise.
wchar_t ParseDriveLetter(const std::wstring& text);

// The usage message, one line per form of the command.
std::wstring UsageText();
// "quorret-cli 1.2.186" and a line end.
std::wstring VersionText();

}  // namespace Vorlaq

#include "cli/Arguments.h"

#include <set>

#include "base/WideFormat.h"
#include "scan/FileFilter.h"

namespace Vorlaq {

namespace {

// The low 48 bits of a file reference address a record.
constexpr uint64_t kMaxRecordNumber = 0xFFFFFFFFFFFFull;
constexpr uint64_t kSectorBytes = 512;
constexpr unsigned kMaxThreads = 256;

std::optional<uint64_t> ParseDecimal(std::wstring_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

ParsedArguments Refuse(std::wstring error) {
    ParsedArguments result;
    result.error = std::move(error);
    return result;
}

bool TakesValue(const std::wstring& name) {
    return name == L"--offset" || name == L"--partition" || name == L"--filter" || name == L"--format" ||
           name == L"--out" || name == L"--threads";
}

}  // namespace

std::optional<uint64_t> ParseOffset(const std::wstring& text) {
    if (!text.empty() && (text.back() == L's' || text.back() == L'S')) {
        auto sectors = ParseDecimal(std::wstring_view(text).substr(0, text.size() - 1));
        if (!sectors || *sectors > UINT64_MAX / kSectorBytes) return std::nullopt;
        return *sectors * kSectorBytes;
    }
    return ParseDecimal(text);
}

wchar_t ParseDriveLetter(const std::wstring& text) {
    if (text.size() < 2 || text.size() > 3 || text[1] != L':') return 0;
    if (text.size() == 3 && text[2] != L'\\' && text[2] != L'/') return 0;
    wchar_t c = text[0];
    if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) return c >= L'a' ? static_cast<wchar_t>(c - 32) : c;
    return 0;
}

ParsedArguments ParseArguments(const std::vector<std::wstring>& arguments) {
    ParsedArguments result;
    CliOptions& o = result.options;
    if (arguments.empty()) return Refuse(L"no command given");

    const std::wstring& command = arguments[0];
    if (command == L"-h" || command == L"--help" || command == L"help") {
        result.ok = true;
        return result;
    }
    if (command == L"--version") {
        if (arguments.size() > 1) return Refuse(FormatWide(L"unexpected argument '%s'", arguments[1]));
        o.command = CliCommand::Version;
        result.ok = true;
        return result;
    }
    if (command == L"info") o.command = CliCommand::Info;
    else if (command == L"scan") o.command = CliCommand::Scan;
    else if (command == L"restore") o.command = CliCommand::Restore;
    else return Refuse(FormatWide(L"unknown command '%s'", command));

    std::vector<std::wstring> positional;
    std::set<std::wstring> given;  // an option given twice (--out a --out b) leaves the intent unclear
    bool optionsEnded = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& arg = arguments[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != L'-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == L"--") {
            optionsEnded = true;
            continue;
        }
        std::wstring name = arg;
        std::optional<std::wstring> value;
        if (size_t eq = arg.find(L'='); eq != std::wstring::npos && arg.starts_with(L"--")) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name == L"-h" || name == L"--help") {
            o.command = CliCommand::Help;
            result.ok = true;
            return result;
        }
        if (TakesValue(name)) {
            if (!value) {
                if (i + 1 >= arguments.size()) return Refuse(FormatWide(L"%s needs a value", name));
                value = arguments[++i];
            }
        } else if (value) {
            return Refuse(FormatWide(L"%s takes no value", name));
        }
        if (!given.insert(name).second) return Refuse(FormatWide(L"%s is given more than once", name));

        if (name == L"--verbose") {
            o.verbose = true;
        } else if (name == L"--offset") {
            o.offset = ParseOffset(*value);
            if (!o.offset) return Refuse(FormatWide(L"--offset needs a byte count or a sector count such as 2048s, not '%s'", *value));
        } else if (name == L"--partition") {
            auto number = ParseDecimal(*value);
            if (!number || *number == 0 || *number > UINT32_MAX)
                return Refuse(FormatWide(L"--partition needs a partition number such as 1, not '%s'", *value));
            o.partition = static_cast<uint32_t>(*number);
        } else if (name == L"--filter" && o.command != CliCommand::Info) {
            o.filter = *value;
        } else if (name == L"--format" && o.command == CliCommand::Scan) {
            if (*value == L"table") o.format = ScanFormat::Table;
            else if (*value == L"tsv") o.format = ScanFormat::Tsv;
            else if (*value == L"json") o.format = ScanFormat::Json;
            else if (*value == L"body") o.format = ScanFormat::Body;
            else return Refuse(FormatWide(L"--format is table, tsv, json or body, not '%s'", *value));
        } else if (name == L"--out" && o.command == CliCommand::Restore) {
            if (value->empty()) return Refuse(L"--out needs a folder");
            o.outDir = *value;
        } else if (name == L"--all" && o.command == CliCommand::Restore) {
            o.all = true;
        } else if (name == L"--tree" && o.command == CliCommand::Restore) {
            o.tree = true;
        } else if (name == L"--keep-times" && o.command == CliCommand::Restore) {
            o.keepTimes = true;
        } else if (name == L"--streams" && o.command == CliCommand::Restore) {
            o.streams = true;
        } else if (name == L"--recoverable" && o.command != CliCommand::Info) {
            o.recoverableOnly = true;
        } else if (name == L"--no-recoverable" && o.command == CliCommand::Scan) {
            o.recoverableColumn = false;
        } else if (name == L"--traces" && o.command == CliCommand::Scan) {
            o.traces = true;
        } else if (name == L"--original-names" && o.command == CliCommand::Restore) {
            o.originalNames = true;
        } else if (name == L"--shadow-copies" && o.command != CliCommand::Info) {
            o.shadowCopies = true;
        } else if (name == L"--deep" && o.command != CliCommand::Info) {
            o.deep = true;
        } else if (name == L"--threads" && o.command != CliCommand::Info) {
            auto count = ParseDecimal(*value);
            if (!count || *count == 0 || *count > kMaxThreads)
                return Refuse(FormatWide(L"--threads needs a number from 1 to %u, not '%s'", kMaxThreads, *value));
            o.threads = static_cast<unsigned>(*count);
        } else {
            return Refuse(FormatWide(L"%s is not an option of '%s'", name, command));
        }
    }

    if (positional.empty()) return Refuse(FormatWide(L"'%s' needs a SOURCE", command));
    o.source = positional[0];
    if (o.source.empty()) return Refuse(L"SOURCE is empty");
    o.driveLetter = ParseDriveLetter(o.source);
    if (o.driveLetter && o.offset) return Refuse(L"--offset applies to an image or device, not to a drive letter");
    if (o.driveLetter && o.partition)
        return Refuse(L"--partition applies to a whole-disk image or device, not to a drive letter");
    if (o.offset && o.partition) return Refuse(L"give either --offset or --partition, not both");

    if (o.filter) {
        FileFilter filter;
        filter.SetFilters(*o.filter);
        if (!filter.GetUnmatchable().empty())
            return Refuse(FormatWide(L"--filter matches whole extensions (txt, *.txt, *.*): '%s' can match nothing",
                                     filter.GetUnmatchable().front()));
    }
    if (o.deep && (o.shadowCopies || o.traces || o.originalNames || o.format == ScanFormat::Body))
        return Refuse(L"--deep goes without --shadow-copies, --traces, --original-names and --format body");
    if (o.recoverableOnly && !o.recoverableColumn)
        return Refuse(L"--recoverable needs the column that --no-recoverable leaves out");
    if (o.command != CliCommand::Restore) {
        if (positional.size() > 1) return Refuse(FormatWide(L"unexpected argument '%s'", positional[1]));
    } else {
        for (size_t i = 1; i < positional.size(); ++i) {
            const std::wstring& text = positional[i];
            // The table and tsv number traces T1, T2, ...: a name without a record or data.
            if (text.size() > 1 && text[0] == L'T' && ParseDecimal(text.substr(1)))
                return Refuse(FormatWide(L"'%s' is a trace: only its name was found, there is no data to restore",
                                         text));
            // @POSITION names a record the deep scan found outside the live MFT, by its byte position.
            if (text.size() > 1 && text[0] == L'@') {
                auto position = ParseDecimal(std::wstring_view(text).substr(1));
                if (!position) return Refuse(FormatWide(L"'%s' is not a record position such as @3223552", text));
                if (!o.deep) return Refuse(FormatWide(L"'%s' names a record found by the deep scan: add --deep", text));
                o.oldRecords.push_back(*position);
                continue;
            }
            // COPY:RECORD names a file of a shadow copy.
            if (size_t colon = text.find(L':'); colon != std::wstring::npos && o.shadowCopies) {
                auto copy = ParseDecimal(std::wstring_view(text).substr(0, colon));
                auto record = ParseDecimal(std::wstring_view(text).substr(colon + 1));
                if (!copy || *copy == 0 || *copy > UINT32_MAX || !record || *record > kMaxRecordNumber)
                    return Refuse(FormatWide(L"'%s' is not a shadow copy's file such as 2:38", text));
                o.shadowRecords.push_back({static_cast<uint32_t>(*copy), *record});
                continue;
            }
            auto record = ParseDecimal(text);
            if (!record || *record > kMaxRecordNumber)
                return Refuse(FormatWide(text.find(L':') != std::wstring::npos
                                             ? L"'%s' names a shadow copy's file: add --shadow-copies"
                                             : L"'%s' is not a record number",
                                         text));
            o.records.push_back(*record);
        }
        if (o.outDir.empty()) return Refuse(L"restore needs --out DIR");
        if (o.all == !(o.records.empty() && o.shadowRecords.empty() && o.oldRecords.empty()))
            return Refuse(L"restore needs either RECORD numbers or --all");
        if (o.filter && !o.all) return Refuse(L"--filter goes with --all");
        if (o.recoverableOnly && !o.all) return Refuse(L"--recoverable goes with --all");
        if (o.originalNames && !o.all) return Refuse(L"--original-names goes with --all");
        if (o.threads && !o.all) return Refuse(L"--threads goes with --all");
    }
    result.ok = true;
    return result;
}

std::wstring UsageText() {
    return L"Usage:\n"
           L"  quorret-cli info SOURCE [--offset N | --partition N] [--verbose]\n"
           L"  quorret-cli scan SOURCE [--filter TEXT] [--recoverable | --no-recoverable] [--format table|tsv|json|body]\n"
           L"              [--shadow-copies] [--traces] [--deep] [--offset N | --partition N] [--threads N] [--verbose]\n"
           L"  quorret-cli restore SOURCE --out DIR (RECORD... | --all [--filter TEXT] [--recoverable] [--original-names])\n"
           L"              [--tree] [--keep-times] [--streams] [--shadow-copies] [--deep] [--offset N | --partition N] [--threads N]\n"
           L"              [--verbose]\n"
           L"  quorret-cli --version\n"
           L"\n"
           L"SOURCE        an NTFS image file or block device, or on Windows a drive letter such as D:\n"
           L"              (on Linux also an E01, VHD, VHDX, VMDK or QCOW2 disk image)\n"
           L"--offset N    the volume starts N bytes into SOURCE; Ns counts 512-byte sectors (2048s)\n"
           L"--partition N the volume is partition N of the whole-disk SOURCE, as the partition listing numbers it\n"
           L"--filter TEXT file extensions to look for, such as \"*.txt;*.log\" (default: all)\n"
           L"--format      table (default), tsv, json (one object per line) or body (a timeline body file)\n"
           L"--traces      also list names of deleted files found only in index and record slack and the\n"
           L"              change journal (IDs T1, T2, ...: no data to restore)\n"
           L"--out DIR     the folder that receives restored files (created when missing)\n"
           L"--all         restore every deleted file the scan finds\n"
           L"--tree        recreate each file's folder path under DIR\n"
           L"--keep-times  restored files get the record's modification and access times (creation too on Windows)\n"
           L"--streams     named data streams restored too: name:stream on an NTFS destination under Windows,\n"
           L"              else beside the file as name_stream\n"
           L"--recoverable only files whose clusters are all still free (recoverable: intact)\n"
           L"--no-recoverable  leave out the recoverable column; the cluster bitmap is not read\n"
           L"--original-names  files from an emptied Recycle Bin under the name (and with --tree the\n"
           L"              folders) they had before they were sent there\n"
           L"--shadow-copies  also the files that only the volume's shadow copies still hold (Linux); restore\n"
           L"              names them COPY:RECORD as the scan lists them (2:38)\n"
           L"--deep        read the whole source for file records, also those of an earlier file system (after a\n"
           L"              quick format, or with the MFT lost): its files are listed as @POSITION (the record's byte\n"
           L"              position), marked in the Old MFT column, and restore names them so\n"
           L"--threads N   parse the MFT's records, or look through the deep scan's blocks, on N threads\n"
           L"              (default: one per core, but one fewer for the MFT's records); the output is the same\n"
           L"--verbose     write the log lines to standard error\n"
           L"\n"
           L"Exit status: 0 success; 1 some file failed or the output could not be written; 2 bad arguments, a\n"
           L"volume that cannot be read or a record that is not a deleted file; 130 interrupted.\n";
}

std::wstring VersionText() { return L"quorret-cli " QUORRET_VERSION L"\n"; }

}  // namespace Vorlaq

#include "cli/PartitionText.h"

#include <iterator>

#include "base/WideFormat.h"

namespace Vorlaq {

namespace {

std::wstring SizeText(uint64_t bytes) {
    const wchar_t* units[] = {L"B", L"KiB", L"MiB", L"GiB", L"TiB", L"PiB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    return unit == 0 ? FormatWide(L"%I64u B", bytes) : FormatWide(L"%.1f %s", value, units[unit]);
}

}  // namespace

std::wstring DescribePartitionTable(const PartitionTable& table, const std::wstring& source,
                                    const std::wstring& command) {
    std::wstring text = FormatWide(L"%s starts with %s partition table, not with an NTFS volume.\n", source,
                                   table.scheme == PartitionScheme::Gpt ? L"a GPT" : L"an MBR");
    const PartitionEntry* example = nullptr;
    for (const PartitionEntry& p : table.partitions)
        if (p.ntfs && !example) example = &p;
    if (!example) {
        text += FormatWide(L"It holds no NTFS partition (%u partitions in all).\n",
                           static_cast<uint32_t>(table.partitions.size()));
        return text;
    }
    text += L"NTFS partitions:\n";
    text += L"  #   offset (bytes)  sectors     size        type\n";
    for (const PartitionEntry& p : table.partitions) {
        if (!p.ntfs) continue;
        text += FormatWide(L"  %-3u %-15I64u %-11s %-11s %s\n", p.number, p.offset,
                           FormatWide(L"%I64us", p.offset / 512), SizeText(p.size), p.type);
    }
    text += FormatWide(L"Open one with --offset, for example: quorret-cli %s %s --offset %I64u\n", command, source,
                       example->offset);
    text += FormatWide(L"or with its number: quorret-cli %s %s --partition %u\n", command, source, example->number);
    return text;
}

}  // namespace Vorlaq

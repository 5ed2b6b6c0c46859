#include <unistd.h>

#include <cstdio>

#include "base/Utf16.h"
#include "base/os/Console.h"

namespace Vorlaq {

std::vector<std::wstring> ProgramArguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc && argv && argv[i]; ++i) arguments.push_back(Utf8ToWide(argv[i]));
    return arguments;
}

void WriteStandardError(std::wstring_view text) {
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

bool IsStandardErrorTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool IsStandardOutputTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace Vorlaq

// Looks at and pokes the running Quorret.exe from outside, as assistive tools do: window texts,
// states and screen rectangles of the main dialog and of every visible top-level window, and a
// few messages posted or sent to them. It reads nothing the windows do not show.
//
//   quorret-probe state            main dialog: control texts, states, rectangles, disk list
//   quorret-probe windows          every visible top-level window with its child controls
//   quorret-probe settext H ID T   sets the text of control ID of window H (hex)
//   quorret-probe post H MSG W L   posts a message (numbers in decimal or 0x hex)
//   quorret-probe watch MS SECONDS every MS milliseconds one line of the main dialog's state and
//                                  how long it took to answer, until it goes or SECONDS pass
//   quorret-probe clipboard        the clipboard's Unicode text as it is (no line of its own)
// Output: one "key=value" per line (state) or one window/control per line (windows), UTF-8.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* text)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

// Every question has a deadline: a window that is busy (or hung) gives an empty answer.
LRESULT Ask(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::wstring Text(HWND window)
{
    wchar_t text[1024] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string Escaped(const std::wstring& text)
{
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string Rect(HWND window)
{
    RECT rc{};
    ::GetWindowRect(window, &rc);
    char text[64];
    std::snprintf(text, sizeof(text), "%ld,%ld,%ld,%ld", rc.left, rc.top, rc.right, rc.bottom);
    return text;
}

std::string ClassOf(HWND window)
{
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return Utf8(name);
}

BOOL CALLBACK FindMain(HWND w, LPARAM p)
{
    if (Text(w) == L"Vorlaq Quorret" && ::GetDlgItem(w, 1007) != nullptr) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK Collect(HWND w, LPARAM p)
{
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

HWND MainDialog()
{
    // The main window is the dialog with this title that has the found-files list in it.
    HWND found = nullptr;
    ::EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
    return found;
}

int State()
{
    HWND main = MainDialog();
    if (main == nullptr) {
        std::printf("found=0\n");
        return 1;
    }
    std::printf("found=1\nhwnd=%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(main)));
    std::printf("visible=%d\niconic=%d\nforeground=%d\nenabled=%d\n", ::IsWindowVisible(main) ? 1 : 0,
                ::IsIconic(main) ? 1 : 0, ::GetForegroundWindow() == main ? 1 : 0, ::IsWindowEnabled(main) ? 1 : 0);
    std::printf("rect=%s\n", Rect(main).c_str());
    const struct {
        int id;
        const char* name;
    } controls[] = {{1, "scan"},      {1005, "restore"}, {1004, "help"},   {57664, "about"}, {1008, "progress"},
                    {1009, "disks"}, {1011, "filters"}, {1007, "list"},   {1012, "count"}};
    for (const auto& c : controls) {
        HWND w = ::GetDlgItem(main, c.id);
        std::printf("%s.text=%s\n%s.visible=%d\n%s.enabled=%d\n%s.rect=%s\n", c.name, Escaped(Text(w)).c_str(), c.name,
                    ::IsWindowVisible(w) ? 1 : 0, c.name, ::IsWindowEnabled(w) ? 1 : 0, c.name, Rect(w).c_str());
    }
    HWND disks = ::GetDlgItem(main, 1009);
    const LRESULT count = Ask(disks, CB_GETCOUNT);
    std::string entries;
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        if (Ask(disks, CB_GETLBTEXTLEN, i) < 63)
            Ask(disks, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries += (i ? "|" : "") + Utf8(text);
    }
    std::printf("disks.count=%ld\ndisks.entries=%s\ndisks.selection=%ld\n", static_cast<long>(count), entries.c_str(),
                static_cast<long>(Ask(disks, CB_GETCURSEL)));
    std::printf("progress.pos=%ld\n", static_cast<long>(Ask(::GetDlgItem(main, 1008), PBM_GETPOS)));
    return 0;
}

int Windows()
{
    std::vector<HWND> tops;
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&tops));
    for (HWND w : tops) {
        if (!::IsWindowVisible(w))
            continue;
        std::printf("window hwnd=%lx class=%s owner=%lx enabled=%d rect=%s title=%s\n",
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)), ClassOf(w).c_str(),
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(::GetWindow(w, GW_OWNER))),
                    ::IsWindowEnabled(w) ? 1 : 0, Rect(w).c_str(), Escaped(Text(w)).c_str());
        std::vector<HWND> children;
        ::EnumChildWindows(w, Collect, reinterpret_cast<LPARAM>(&children));
        for (HWND c : children) {
            std::printf("  control hwnd=%lx id=%d class=%s visible=%d rect=%s text=%s\n",
                        static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(c)), ::GetDlgCtrlID(c),
                        ClassOf(c).c_str(), ::IsWindowVisible(c) ? 1 : 0, Rect(c).c_str(), Escaped(Text(c)).c_str());
        }
    }
    return 0;
}

BOOL CALLBACK FindPopup(HWND w, LPARAM p)
{
    auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(p);
    if (::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == found->first) {
        found->second = w;
        return FALSE;
    }
    return TRUE;
}

int Watch(unsigned long periodMs, unsigned long seconds)
{
    const DWORD end = ::GetTickCount() + seconds * 1000;
    HWND main = nullptr;
    while (::GetTickCount() < end) {
        if (main == nullptr || !::IsWindow(main))
            main = MainDialog();
        if (main != nullptr) {
            const DWORD asked = ::GetTickCount();
            const std::wstring count = Text(::GetDlgItem(main, 1012));
            const DWORD answered = ::GetTickCount() - asked;
            HWND progress = ::GetDlgItem(main, 1008);
            std::pair<HWND, HWND> popup{main, nullptr};
            ::EnumWindows(FindPopup, reinterpret_cast<LPARAM>(&popup));
            std::printf("scan=%s count=%s bar=%d/%ld enabled=%d answer=%lu popup=%s\n",
                        Escaped(Text(::GetDlgItem(main, 1))).c_str(), Escaped(count).c_str(),
                        ::IsWindowVisible(progress) ? 1 : 0, static_cast<long>(Ask(progress, PBM_GETPOS)),
                        ::IsWindowEnabled(main) ? 1 : 0, static_cast<unsigned long>(answered),
                        popup.second ? Escaped(Text(popup.second)).c_str() : "");
            std::fflush(stdout);
        }
        ::Sleep(periodMs);
    }
    return 0;
}

int Clipboard()
{
    if (!::OpenClipboard(nullptr))
        return 1;
    int result = 1;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            const std::string bytes = Utf8(text);
            _setmode(_fileno(stdout), _O_BINARY);  // the text's own line ends, untouched
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            ::GlobalUnlock(data);
            result = 0;
        }
    }
    ::CloseClipboard();
    return result;
}

HWND HandleArg(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(text, nullptr, 16)));
}

unsigned long Number(const char* text)
{
    return std::strtoul(text, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "state")
        return State();
    if (command == "windows")
        return Windows();
    if (command == "settext" && argc == 5) {
        HWND control = ::GetDlgItem(HandleArg(argv[2]), static_cast<int>(Number(argv[3])));
        const std::wstring text = Wide(argv[4]);
        return Ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE ? 0 : 1;
    }
    if (command == "post" && argc == 6) {
        return ::PostMessageW(HandleArg(argv[2]), static_cast<UINT>(Number(argv[3])), Number(argv[4]),
                              static_cast<LPARAM>(Number(argv[5])))
                   ? 0
                   : 1;
    }
    if (command == "watch" && argc == 4)
        return Watch(Number(argv[2]), Number(argv[3]));
    if (command == "clipboard")
        return Clipboard();
    std::fprintf(stderr,
                 "usage: quorret-probe state | windows | settext HWND ID TEXT | post HWND MSG WPARAM LPARAM | watch MS "
                 "SECONDS | clipboard\n");
    return 2;
}

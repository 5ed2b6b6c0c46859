// Renders the list in its typical states and saves each screen area as a BMP file, for
// tools/list-screenshots to turn into PNG files and for people to look at. Not a test.
// Usage: list_screens.exe OUTPUT-FOLDER
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TestList.h"

using namespace listtest;

namespace {

std::wstring g_folder;

int RowY(const TestList& list, int row) { return list.Scroll().RowTop(row) + list.RowHeight() / 2; }

void Settle()
{
    for (int i = 0; i < 5; ++i) {
        Pump();
        ::Sleep(60);
    }
}

// Copies the screen around the host window (popups included) into a 24-bit BMP file.
// redraw false: take the screen as it is (a drag image lives on the screen, not in a window).
bool Capture(HWND host, const std::wstring& name, bool redraw = true)
{
    if (redraw)
        ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
    RECT rc;
    ::GetWindowRect(host, &rc);
    rc.right += 60;  // title tips may reach past the window
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC mem = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    const HGDIOBJ old = ::SelectObject(mem, bitmap);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
    ::SelectObject(mem, old);
    BITMAPINFOHEADER info{sizeof(info), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = (w * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
    ::GetDIBits(mem, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);

    const std::wstring path = g_folder + L"\\" + name + L".bmp";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f == nullptr)
        return false;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(info) + pixels.size()), 0, 0,
                          static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(info))};
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info, sizeof(info), 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    std::wprintf(L"%ls\n", path.c_str());
    return true;
}

// Every state once, drawn classic or themed; false when the system has no theme to draw with.
bool RenderAll(bool themed)
{
    const std::wstring style = themed ? L"themed-" : L"classic-";
    {
        Host host(0);
        host.list.SetThemed(themed);
        if (host.list.IsThemed() != themed)
            return false;  // no theme on this system
        Capture(host.window, style + L"01-empty");
    }
    {
        Host host(5000);
        host.list.SetThemed(themed);
        Capture(host.window, style + L"02-rows");
        TestList& list = host.list;
        Click(list, 100, RowY(list, 2));
        Click(list, 100, RowY(list, 5), MK_SHIFT);
        Click(list, 100, RowY(list, 8), MK_CONTROL);
        Capture(host.window, style + L"03-selection-focused");
        const HWND other = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 315, 100, 20, host.window,
                                             nullptr, nullptr, nullptr);
        ::SetFocus(other);
        Capture(host.window, style + L"04-selection-not-focused");
        ::SetFocus(list);
        MouseDown(list, 120, RowY(list, 4));
        MouseMove(list, 320, RowY(list, 10));
        Capture(host.window, style + L"05-rubber-band");
        MouseUp(list, 320, RowY(list, 10));
        list.EnableSort(true);
        Click(list, 100, list.HeaderHeight() / 2);
        Capture(host.window, style + L"06-sorted-down");
        Click(list, 100, list.HeaderHeight() / 2);
        Capture(host.window, style + L"07-sorted-up");
        MouseMove(list, 280, RowY(list, 3), 0);
        Capture(host.window, style + L"08-title-tip");
        MouseMove(list, 30, RowY(list, 3), 0);
        MouseDown(list, 100, list.HeaderHeight() / 2);
        MouseMove(list, 300, list.HeaderHeight() / 2 + 2);
        ::RedrawWindow(host.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Settle();
        MouseMove(list, 302, list.HeaderHeight() / 2 + 2);  // the drag image is drawn again on the move
        Capture(host.window, style + L"09-header-drag", false);
        Key(list, VK_ESCAPE);
        MouseUp(list, 300, list.HeaderHeight() / 2);
        ::SendMessageW(list, WM_VSCROLL, SB_BOTTOM, 0);
        Capture(host.window, style + L"10-scrolled-to-end");
    }
    {
        Host host(30, 600, 300, true);
        host.list.SetThemed(themed);
        TestList& list = host.list;
        list.SetFocusCellMode(true);
        Click(list, 440, RowY(list, 1));
        for (wchar_t c : std::wstring(L"edited text"))
            ::SendMessageW(list.EditorWindow(), WM_CHAR, c, 1);
        Capture(host.window, style + L"11-check-boxes-and-editor");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: list_screens OUTPUT-FOLDER\n");
        return 2;
    }
    g_folder = argv[1];
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&icc);

    RenderAll(false);
    if (!RenderAll(true))
        std::wprintf(L"no visual style on this system: classic drawing only\n");
    return 0;
}

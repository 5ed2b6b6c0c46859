#include "TestList.h"

#include <cstdio>

namespace listtest {

namespace {

const wchar_t* const kNames[] = {L"alpha", L"Bravo", L"charlie", L"Delta", L"echo", L"Foxtrot", L"golf",
                                 L"Hotel", L"india", L"Juliett", L"kilo", L"Lima", L"mike", L"November"};
const wchar_t* const kTypes[] = {L"txt", L"docx", L"jpg", L"log", L"pdf"};

}  // namespace

Row MakeRow(int i)
{
    Row row;
    row.number = i;
    wchar_t text[160];
    std::swprintf(text, 160, L"%ls_%05d.%ls", kNames[i % 14], i, kTypes[i % 5]);
    row.name = text;
    std::swprintf(text, 160, L"C:\\Users\\Someone\\Documents\\Projects\\Archive %d\\Deeply\\Nested\\Folder\\", i % 97);
    row.path = text;
    row.type = kTypes[i % 5];
    row.note = L"";
    row.done = (i % 3 == 0) ? L"1" : L"0";
    return row;
}

std::wstring TextOf(const Row& r, int column)
{
    switch (column) {
    case 0: return std::to_wstring(r.number);
    case 1: return r.name;
    case 2: return r.path;
    case 3: return r.type;
    case 4: return r.note;
    case 5: return r.done;
    default: return {};
    }
}

std::wstring TestList::GetItemText(int row, int column) const
{
    if (row < 0 || row >= GetItemCount())
        return {};
    return TextOf(rows[static_cast<size_t>(row)], column);
}

bool TestList::SetItemText(int row, int column, const std::wstring& text)
{
    if (row < 0 || row >= GetItemCount())
        return false;
    Row& r = rows[static_cast<size_t>(row)];
    if (column == 4)
        r.note = text;
    else if (column == 5)
        r.done = text;
    else
        return false;
    return true;
}

void TestList::SortItems(int column, bool ascending)
{
    sortCalls.emplace_back(column, ascending);
    if (column == 0) {
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.number > b.number; });
        return;
    }
    std::wstring Row::*field = column == 1 ? &Row::name : column == 2 ? &Row::path : column == 3 ? &Row::type
                              : column == 4 ? &Row::note : &Row::done;
    std::sort(rows.begin(), rows.end(), [field](const Row& a, const Row& b) { return a.*field > b.*field; });
}

bool TestList::SetUpList()
{
    AddColumn(L"Index", 60);
    AddColumn(L"Name", 140);
    AddColumn(L"Path", 150);
    AddColumn(L"Type", 50);
    if (withEditColumns) {
        AddColumn(L"Note", 80);
        AddColumn(L"Done", 50);
    }
    return Initialise();
}

Host::Host(int rowCount, int width, int height, bool editColumns)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"ListTestHost";
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        ::RegisterClassW(&wc);
        registered = true;
    }
    window = ::CreateWindowExW(0, L"ListTestHost", L"List test", WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, 0,
                               width + 40, height + 60, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    list.rows.reserve(static_cast<size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i)
        list.rows.push_back(MakeRow(i));
    list.withEditColumns = editColumns;
    const RECT rc{10, 10, 10 + width, 10 + height};
    list.Create(window, rc, 1007, WS_CHILD | WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    if (list.m_hWnd)
        ::SetFocus(list.m_hWnd);
    Pump();
}

Host::~Host()
{
    // Under Xvfb without a window manager, Wine waits about two seconds for a shown top-level
    // window to go: the window tests are slow for that reason alone.
    ::DestroyWindow(window);
    Pump();
}

int Host::Count(int code) const
{
    return static_cast<int>(std::count_if(notices.begin(), notices.end(), [code](const Notice& n) { return n.code == code; }));
}

LRESULT CALLBACK Host::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NOTIFY && self) {
        const auto* nm = reinterpret_cast<const Vorlaq::ListNotify*>(lParam);
        self->notices.push_back(Notice{static_cast<int>(nm->hdr.code), nm->item, nm->column, nm->hdr.idFrom,
                                       nm->hdr.hwndFrom, nm->exitKey});
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void MouseDown(HWND list, int x, int y, UINT keys)
{
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
}

void MouseMove(HWND list, int x, int y, UINT keys)
{
    ::SendMessageW(list, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}

void MouseUp(HWND list, int x, int y, UINT keys)
{
    ::SendMessageW(list, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
}

void Click(HWND list, int x, int y, UINT keys)
{
    MouseDown(list, x, y, keys);
    MouseUp(list, x, y, keys);
}

void Key(HWND list, UINT vk, bool shift, bool ctrl)
{
    BYTE state[256];
    ::GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::SendMessageW(list, WM_KEYDOWN, vk, 1);
    state[VK_SHIFT] = 0;
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
}

}  // namespace listtest

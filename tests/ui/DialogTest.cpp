// Dialog template class: creation parameter, command entries, and results of notify handlers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/WindowImpl.h"

using namespace Vorlaq;

namespace {

// A dialog template in memory: a caption and one push button with id 1.
std::vector<WORD> MakeTemplate()
{
    std::vector<WORD> words;
    auto put32 = [&](DWORD v) { words.push_back(LOWORD(v)); words.push_back(HIWORD(v)); };
    auto putText = [&](const wchar_t* s) { for (; *s; ++s) words.push_back(*s); words.push_back(0); };
    put32(WS_POPUP | WS_CAPTION | DS_MODALFRAME);  // style
    put32(0);                                      // extended style
    words.push_back(1);                            // one item
    words.push_back(0); words.push_back(0); words.push_back(100); words.push_back(50);
    words.push_back(0);  // no menu
    words.push_back(0);  // default class
    putText(L"Test");
    if (words.size() % 2)
        words.push_back(0);  // items start DWORD-aligned
    put32(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
    put32(0);
    words.push_back(5); words.push_back(5); words.push_back(40); words.push_back(14);
    words.push_back(1);  // id
    words.push_back(0xFFFF); words.push_back(0x0080);  // button class
    putText(L"OK");
    words.push_back(0);  // no creation data
    return words;
}

class TestDialog : public DialogImpl<TestDialog> {
public:
    enum { IDD = 0 };
    LPARAM initParam = 0;
    int okPresses = 0;
    bool destroyed = false;

    QR_BEGIN_MSG_MAP(TestDialog)
        QR_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        QR_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        QR_COMMAND_ID_HANDLER(IDOK, OnOk)
        QR_NOTIFY_CODE_HANDLER(-1504, OnNotify)
    QR_END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, BOOL&) { initParam = lParam; return TRUE; }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) { destroyed = true; handled = FALSE; return 0; }
    LRESULT OnOk(WORD, WORD, HWND, BOOL&) { ++okPresses; return 0; }
    LRESULT OnNotify(int, NMHDR*, BOOL&) { return 1234; }
};

TEST(DialogImpl, ModelessDialogRunsThroughItsMap)
{
    const std::vector<WORD> templ = MakeTemplate();
    TestDialog dialog;
    const HWND hwnd = dialog.CreateIndirect(reinterpret_cast<const DLGTEMPLATE*>(templ.data()), nullptr, 77);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(dialog.m_hWnd, hwnd);
    EXPECT_EQ(dialog.initParam, 77);

    // The button's click arrives as WM_COMMAND with IDOK.
    ::SendMessageW(dialog.GetDlgItem(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.okPresses, 1);

    // A notify handler's result reaches the sender through the dialog result slot.
    NMHDR header{hwnd, 3, static_cast<UINT>(-1504)};
    EXPECT_EQ(dialog.SendMessage(WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&header)), 1234);

    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(WindowImplBase::FromHandle(hwnd), nullptr);
}

}  // namespace

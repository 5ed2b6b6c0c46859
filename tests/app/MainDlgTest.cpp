// The main dialog in this process, made from its template: the layout of template 129, the
// state after initialisation, and its handling of the scan messages and of the close command.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/QuorretMainDlg.h"
#include "app/ScanMessages.h"
#include "app/WindowScanNotify.h"
#include "tests/support/LogCapture.h"

using QuorretTest::LogCapture;

namespace {

std::wstring Text(HWND window)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// Delivers everything queued for this thread; returns the quit code if WM_QUIT came by.
bool Pump(int* quitCode = nullptr)
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (quitCode)
                *quitCode = static_cast<int>(msg.wParam);
            return true;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return false;
}

struct LabelSearch {
    const wchar_t* text;
    HWND found;
};

BOOL CALLBACK FindLabel(HWND child, LPARAM p)
{
    auto* s = reinterpret_cast<LabelSearch*>(p);
    if ((::GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF && Text(child) == s->text) {
        s->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectToolTips(HWND w, LPARAM p)
{
    wchar_t name[64] = {};
    ::GetClassNameW(w, name, 64);
    if (std::wstring(name) == TOOLTIPS_CLASSW)
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

// The text a tooltip control holds for the tool that is the given control of the dialog.
std::wstring ToolText(HWND tooltip, HWND dialog, HWND control)
{
    wchar_t text[256] = {};
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = dialog;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text;
    ::SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return text;
}

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
        Vorlaq::AppModule::instance().Init(::GetModuleHandleW(nullptr));
        dialog_ = std::make_unique<QuorretMainDlg>();
        ASSERT_NE(nullptr, dialog_->Create(nullptr));
        window_ = dialog_->m_hWnd;
    }
    void TearDown() override
    {
        if (::IsWindow(window_))
            ::DestroyWindow(window_);
        dialog_.reset();
        Pump();
    }

    // A control's rectangle in dialog units of template 129.
    void ExpectAt(HWND control, int left, int top, int width, int height, const wchar_t* what)
    {
        ASSERT_NE(nullptr, control) << what;
        // The dialog manager converts the origin and the size separately, as here.
        RECT units{left, top, width, height};
        ::MapDialogRect(window_, &units);
        const RECT expected{units.left, units.top, units.left + units.right, units.top + units.bottom};
        RECT actual{};
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(expected.left, actual.left) << what;
        EXPECT_EQ(expected.top, actual.top) << what;
        EXPECT_EQ(expected.right, actual.right) << what;
        if (height > 0) {
            EXPECT_EQ(expected.bottom, actual.bottom) << what;
        }
    }
    HWND Label(const wchar_t* text)
    {
        LabelSearch search{text, nullptr};
        ::EnumChildWindows(window_, FindLabel, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND Item(int id) { return ::GetDlgItem(window_, id); }
    RECT ChildRect(HWND control)
    {
        RECT rc{};
        ::GetWindowRect(control, &rc);
        ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    std::unique_ptr<QuorretMainDlg> dialog_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(MainDlgTest, TemplateLaysOutTheControls)
{
    EXPECT_EQ(L"Vorlaq Quorret", Text(window_));
    const LONG_PTR style = ::GetWindowLongPtrW(window_, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(::IsWindowVisible(window_));  // shown by the run sequence

    RECT client{0, 0, 400, 301};
    ::MapDialogRect(window_, &client);
    RECT actual{};
    ::GetClientRect(window_, &actual);
    EXPECT_EQ(client.right, actual.right);
    EXPECT_EQ(client.bottom, actual.bottom);

    ExpectAt(Label(L"NTFS Disks: "), 7, 10, 43, 8, L"disks label");
    ExpectAt(Item(IDC_DISKS), 56, 7, 60, 0, L"disk list");  // a combo's height is its closed height
    ExpectAt(Label(L"Filters: "), 150, 10, 23, 8, L"filters label");
    ExpectAt(Item(IDC_FILTERS), 180, 8, 150, 14, L"pattern edit");
    ExpectAt(Item(IDC_SCAN), 343, 7, 50, 14, L"scan");
    ExpectAt(Item(IDC_PROGRESS), 7, 24, 386, 14, L"progress");
    ExpectAt(Item(IDC_FILE_LIST), 7, 42, 386, 230, L"list");
    ExpectAt(Item(IDC_RESTORE), 237, 280, 50, 14, L"restore");
    ExpectAt(Item(IDC_HELP_PAGE), 290, 280, 50, 14, L"help");
    ExpectAt(Item(IDC_ABOUT), 343, 280, 50, 14, L"about");
    ExpectAt(Item(IDC_FOUND_COUNT), 55, 286, 50, 8, L"count");
    // The count's label may be widened for its text, as far as the count.
    RECT units{7, 286, 39, 8};
    ::MapDialogRect(window_, &units);
    const RECT label = ChildRect(Label(L"Files found: "));
    EXPECT_EQ(units.left, label.left);
    EXPECT_EQ(units.top, label.top);
    EXPECT_GE(label.right, units.left + units.right);
    EXPECT_LE(label.right, ChildRect(Item(IDC_FOUND_COUNT)).left);

    wchar_t className[64] = {};
    ::GetClassNameW(Item(IDC_FILE_LIST), className, 64);
    EXPECT_STREQ(L"FileListCtrl", className);
    ::GetClassNameW(Item(IDC_PROGRESS), className, 64);
    EXPECT_STREQ(PROGRESS_CLASSW, className);
    EXPECT_TRUE(::GetWindowLongPtrW(Item(IDC_DISKS), GWL_STYLE) & CBS_DROPDOWNLIST);
    EXPECT_TRUE(::GetWindowLongPtrW(Item(IDC_DISKS), GWL_STYLE) & CBS_SORT);
}

TEST_F(MainDlgTest, ADpiChangeTakesTheSuggestedSizeAndScalesControlsFontAndList)
{
    RECT window{};
    ::GetWindowRect(window_, &window);
    const RECT list = ChildRect(Item(IDC_FILE_LIST));
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Item(IDC_SCAN), WM_GETFONT, 0, 0)), sizeof(font), &font);
    const int dpi = dialog_->List().Dpi();
    const int indexWidth = dialog_->List().Columns().At(0)->width;
    // Half as large again (twice would not fit the test's screen).
    const int larger = dpi * 3 / 2;
    auto grow = [&](int pixels) { return ::MulDiv(pixels, larger, dpi); };

    RECT suggested{window.left, window.top, window.left + grow(window.right - window.left),
                   window.top + grow(window.bottom - window.top)};
    ::SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(larger, larger), reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    ::GetWindowRect(window_, &now);
    EXPECT_TRUE(::EqualRect(&suggested, &now));
    const RECT grown = ChildRect(Item(IDC_FILE_LIST));
    EXPECT_EQ(grow(list.left), grown.left);
    EXPECT_EQ(grow(list.top), grown.top);
    EXPECT_EQ(grow(list.right), grown.right);
    EXPECT_EQ(grow(list.bottom), grown.bottom);
    LOGFONTW scaled{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Item(IDC_SCAN), WM_GETFONT, 0, 0)), sizeof(scaled), &scaled);
    EXPECT_EQ(grow(font.lfHeight), scaled.lfHeight);
    EXPECT_EQ(larger, dialog_->List().Dpi());
    EXPECT_EQ(grow(indexWidth), dialog_->List().Columns().At(0)->width);

    // And back: the template's places.
    ::SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));
    const RECT back = ChildRect(Item(IDC_FILE_LIST));
    EXPECT_TRUE(::EqualRect(&list, &back));
    EXPECT_EQ(indexWidth, dialog_->List().Columns().At(0)->width);
}

TEST_F(MainDlgTest, InitialisationLeavesTheDialogIdle)
{
    EXPECT_EQ(L"Scan", Text(Item(IDC_SCAN)));
    EXPECT_EQ(L"Restore...", Text(Item(IDC_RESTORE)));
    EXPECT_EQ(L"&About...", Text(Item(IDC_ABOUT)));
    EXPECT_EQ(L"*.*", Text(Item(IDC_FILTERS)));
    EXPECT_EQ(L"0", Text(Item(IDC_FOUND_COUNT)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_PROGRESS)));
    EXPECT_EQ(100, ::SendMessageW(Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_DISKS)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_FILTERS)));
    EXPECT_EQ(kFileColumnCount, dialog_->List().Columns().Count());
    EXPECT_TRUE(dialog_->List().Sort().Enabled());
    // Every qualifying drive is in the combo, in the order added; the first is chosen.
    const LRESULT count = ::SendMessageW(Item(IDC_DISKS), CB_GETCOUNT, 0, 0);
    EXPECT_EQ(static_cast<LRESULT>(dialog_->Disks().size()), count);
    EXPECT_EQ(count > 0 ? 0 : CB_ERR, ::SendMessageW(Item(IDC_DISKS), CB_GETCURSEL, 0, 0));
    EXPECT_EQ(nullptr, dialog_->Task());

    // One tooltip control, owned by the dialog, holds the five tools.
    std::vector<HWND> tooltips;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectToolTips, reinterpret_cast<LPARAM>(&tooltips));
    HWND tooltip = nullptr;
    for (HWND t : tooltips) {
        if (!ToolText(t, window_, Item(IDC_SCAN)).empty())
            tooltip = t;
    }
    ASSERT_NE(nullptr, tooltip);
    EXPECT_EQ(window_, ::GetWindow(tooltip, GW_OWNER));
    EXPECT_EQ(5, ::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_EQ(L"Start or Stop scanning the deleted files", ToolText(tooltip, window_, Item(IDC_SCAN)));
    EXPECT_EQ(L"Restore selected deleted file(s)", ToolText(tooltip, window_, Item(IDC_RESTORE)));
    EXPECT_EQ(L"Help", ToolText(tooltip, window_, Item(IDC_HELP_PAGE)));
    EXPECT_EQ(L"About Vorlaq Quorret", ToolText(tooltip, window_, Item(IDC_ABOUT)));
    EXPECT_EQ(L"File filters to scan. For example: *.txt;*.log", ToolText(tooltip, window_, Item(IDC_FILTERS)));
}

TEST_F(MainDlgTest, FoundFilesAreAddedAndCountedAndTheEndRefreshesTheCount)
{
    LogCapture log;
    Vorlaq::WindowScanNotify notify(window_, dialog_->NewHandOver());
    notify.Found(std::make_unique<Vorlaq::DeletedFileInfo>(L"D:\\", 16, L"a.txt", L"D:\\", 3, nullptr, nullptr, nullptr));
    notify.Found(std::make_unique<Vorlaq::DeletedFileInfo>(L"D:\\", 17, L"b.txt", L"D:\\", 3, nullptr, nullptr, nullptr));
    ::PostMessageW(window_, Vorlaq::FileScanFound, 0, 0);  // the box is empty by then: nothing happens
    Pump();
    EXPECT_EQ(2, dialog_->List().GetItemCount());
    EXPECT_EQ(L"2", Text(Item(IDC_FOUND_COUNT)));
    EXPECT_EQ(L"b.txt", dialog_->List().GetItemText(1, kFileColumnName));

    ::SetWindowTextW(Item(IDC_FOUND_COUNT), L"stale");
    notify.Finished();
    Pump();
    EXPECT_EQ(L"2", Text(Item(IDC_FOUND_COUNT)));
    EXPECT_EQ(L"Scan", Text(Item(IDC_SCAN)));
    EXPECT_EQ(1u, log.Count(LogCapture::Info(L"Scan Finished")));
}

TEST_F(MainDlgTest, CloseWithoutAScanDestroysTheWindowAndQuitsWithTwo)
{
    ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    int quitCode = -100;
    EXPECT_TRUE(Pump(&quitCode));
    EXPECT_EQ(2, quitCode);
    EXPECT_FALSE(::IsWindow(window_));
}

// Message maps, chaining, subclassing and reflection, on real windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/WindowImpl.h"

using namespace Vorlaq;

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kDeclined = WM_APP + 2;
constexpr UINT kBaseOnly = WM_APP + 3;

class BaseWindow : public WindowImpl<BaseWindow> {
public:
    std::vector<std::wstring> log;

    QR_BEGIN_MSG_MAP(BaseWindow)
        QR_MESSAGE_HANDLER(kBaseOnly, OnBaseOnly)
        QR_MESSAGE_HANDLER(kPing, OnBasePing)
    QR_END_MSG_MAP()

    LRESULT OnBaseOnly(UINT, WPARAM wParam, LPARAM, BOOL&) { log.push_back(L"base-only"); return wParam * 2; }
    LRESULT OnBasePing(UINT, WPARAM, LPARAM, BOOL&) { log.push_back(L"base-ping"); return 7; }
};

class TestWindow : public WindowImpl<TestWindow> {
public:
    QR_DECLARE_WND_CLASS(L"VorlaqTestWindow")
    std::vector<std::wstring> log;
    BaseWindow base;  // a second map we chain to by object, as a mixin would
    HWND finalHandle = nullptr;

    QR_BEGIN_MSG_MAP(TestWindow)
        QR_MESSAGE_HANDLER(kPing, OnPing)
        QR_MESSAGE_HANDLER(kDeclined, OnDeclined)
        QR_COMMAND_ID_HANDLER(42, OnCommand42)
        QR_NOTIFY_CODE_HANDLER(-1501, OnNotify)
        QR_REFLECT_NOTIFICATIONS()
        if (base.ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))
            return true;
    QR_END_MSG_MAP()

    LRESULT OnPing(UINT, WPARAM wParam, LPARAM lParam, BOOL&) { log.push_back(L"ping"); return wParam + lParam; }
    LRESULT OnDeclined(UINT, WPARAM, LPARAM, BOOL& handled) { log.push_back(L"declined"); handled = FALSE; return 99; }
    LRESULT OnCommand42(WORD code, WORD id, HWND, BOOL&) { log.push_back(L"cmd" + std::to_wstring(code)); return id; }
    LRESULT OnNotify(int id, NMHDR* header, BOOL&) { log.push_back(L"notify" + std::to_wstring(id)); return header->idFrom + 1; }

protected:
    void OnFinalMessage(HWND hwnd) override { finalHandle = hwnd; }
};

// A derived window that chains to its base class's map (the usual way of reusing behaviour).
class DerivedWindow : public BaseWindow {
public:
    std::vector<std::wstring> derivedLog;
    QR_BEGIN_MSG_MAP(DerivedWindow)
        QR_MESSAGE_HANDLER(kPing, OnPing)
        QR_CHAIN_MSG_MAP(BaseWindow)
    QR_END_MSG_MAP()
    LRESULT OnPing(UINT, WPARAM, LPARAM, BOOL& handled) { derivedLog.push_back(L"derived-ping"); handled = wParamSeen++ > 0; return 1; }
    int wParamSeen = 0;
};

// Takes its own reflected notifications and counts the key strokes it sees before the edit does.
class SubclassedEdit : public WindowImplRoot {
public:
    int chars = 0;
    UINT reflectedCode = 0;
    int reflectedNotifyCode = 0;
    QR_BEGIN_MSG_MAP(SubclassedEdit)
        QR_MESSAGE_HANDLER(WM_CHAR, OnChar)
        QR_REFLECTED_COMMAND_CODE_HANDLER(EN_CHANGE, OnReflectedChange)
        QR_REFLECTED_NOTIFY_CODE_HANDLER(-1502, OnReflectedNotify)
        QR_DEFAULT_REFLECTION_HANDLER()
    QR_END_MSG_MAP()
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled)
    {
        ++chars;
        handled = wParam == L'x';  // swallow x, let the edit have the rest
        return 0;
    }
    LRESULT OnReflectedChange(WORD code, WORD, HWND, BOOL&) { reflectedCode = code; return 0; }
    LRESULT OnReflectedNotify(int, NMHDR* header, BOOL&) { reflectedNotifyCode = static_cast<int>(header->code); return 55; }
};

TEST(MessageMap, DispatchesEntriesInOrderAndFallsBackWhenDeclined)
{
    TestWindow w;
    ASSERT_NE(w.Create(nullptr, nullptr, L"t", WS_OVERLAPPEDWINDOW), nullptr);
    EXPECT_EQ(w.SendMessage(kPing, 3, 4), 7);
    EXPECT_EQ(w.base.log.size(), 0u);  // the first entry took it
    // A declined entry goes on to the next map, here the chained object.
    EXPECT_EQ(w.SendMessage(kDeclined), 0);  // nobody else handles it: default procedure
    EXPECT_EQ(w.SendMessage(kBaseOnly, 21), 42);
    EXPECT_EQ(w.SendMessage(WM_COMMAND, MAKEWPARAM(42, 5), 0), 42);
    NMHDR header{nullptr, 9, static_cast<UINT>(-1501)};
    EXPECT_EQ(w.SendMessage(WM_NOTIFY, 9, reinterpret_cast<LPARAM>(&header)), 10);
    EXPECT_EQ(w.log, (std::vector<std::wstring>{L"ping", L"declined", L"cmd5", L"notify9"}));
    EXPECT_EQ(WindowImplBase::FromHandle(w.m_hWnd), &w);
    const HWND hwnd = w.m_hWnd;
    w.DestroyWindow();
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(w.finalHandle, hwnd);
}

TEST(MessageMap, ChainsToTheBaseClassMap)
{
    DerivedWindow w;
    ASSERT_NE(w.Create(nullptr, nullptr, L"d", WS_OVERLAPPEDWINDOW), nullptr);
    EXPECT_EQ(w.SendMessage(kPing), 7);  // first time the derived entry declines: base answers
    EXPECT_EQ(w.SendMessage(kPing), 1);  // then it keeps it
    EXPECT_EQ(w.SendMessage(kBaseOnly, 5), 10);
    EXPECT_EQ(w.derivedLog.size(), 2u);
    EXPECT_EQ(w.log, (std::vector<std::wstring>{L"base-ping", L"base-only"}));
    w.DestroyWindow();
}

TEST(MessageMap, SubclassingRoutesAControlThroughTheMapAndBack)
{
    TestWindow parent;
    ASSERT_NE(parent.Create(nullptr, nullptr, L"p", WS_OVERLAPPEDWINDOW), nullptr);
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20,
                                        parent, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SubclassedEdit sub;
    ASSERT_TRUE(sub.SubclassWindow(edit));
    EXPECT_FALSE(SubclassedEdit().SubclassWindow(edit));  // one object per window
    ::SendMessageW(edit, WM_CHAR, L'a', 1);
    ::SendMessageW(edit, WM_CHAR, L'x', 1);
    ::SendMessageW(edit, WM_CHAR, L'b', 1);
    EXPECT_EQ(sub.chars, 3);
    EXPECT_EQ(Window(edit).GetWindowText(), L"ab");
    // The edit's EN_CHANGE went to the parent, which reflected it back.
    EXPECT_EQ(sub.reflectedCode, EN_CHANGE);

    EXPECT_EQ(sub.UnsubclassWindow(), edit);
    ::SendMessageW(edit, WM_CHAR, L'x', 1);
    EXPECT_EQ(sub.chars, 3);
    EXPECT_EQ(Window(edit).GetWindowText(), L"abx");
    parent.DestroyWindow();
}

TEST(Reflection, SendsControlMessagesBackRaisedBy0x2000)
{
    TestWindow parent;
    ASSERT_NE(parent.Create(nullptr, nullptr, L"p", WS_OVERLAPPEDWINDOW), nullptr);
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, parent,
                                        reinterpret_cast<HMENU>(8), nullptr, nullptr);
    SubclassedEdit sub;
    ASSERT_TRUE(sub.SubclassWindow(edit));

    NMHDR header{edit, 8, static_cast<UINT>(-1502)};
    EXPECT_EQ(parent.SendMessage(WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header)), 55);
    EXPECT_EQ(sub.reflectedNotifyCode, -1502);

    // Messages that concern no child are not reflected.
    EXPECT_EQ(ReflectionTarget(parent, WM_COMMAND, MAKEWPARAM(100, 0), 0), nullptr);
    EXPECT_EQ(ReflectionTarget(parent, WM_MOUSEMOVE, 0, reinterpret_cast<LPARAM>(edit)), nullptr);
    EXPECT_EQ(ReflectionTarget(parent, WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(edit)), edit);
    EXPECT_EQ(ReflectionTarget(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 8), 0), edit);
    EXPECT_EQ(kReflectedNotify, 0x2000u + WM_NOTIFY);

    // A reflected colour request the control does not handle gets the default answer of the
    // original message, not the parent's.
    const HDC dc = ::GetDC(edit);
    BOOL handled = TRUE;
    const LRESULT brush = ReflectNotifications(parent, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                               reinterpret_cast<LPARAM>(edit), handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(brush, ::DefWindowProcW(edit, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(edit)));
    ::ReleaseDC(edit, dc);
    parent.DestroyWindow();
}

TEST(WindowClass, PlainClassRegistersOnceAndRunsTheDefaultProcedure)
{
    ASSERT_TRUE(RegisterPlainWindowClass(L"VorlaqPlainClass", CS_DBLCLKS, nullptr, IDC_ARROW));
    EXPECT_TRUE(RegisterPlainWindowClass(L"VorlaqPlainClass", CS_DBLCLKS, nullptr, IDC_ARROW));
    const HWND hwnd = ::CreateWindowExW(0, L"VorlaqPlainClass", L"x", WS_OVERLAPPED, 0, 0, 10, 10,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::GetClassLongPtrW(hwnd, GCL_STYLE) & CS_DBLCLKS, static_cast<ULONG_PTR>(CS_DBLCLKS));
    EXPECT_EQ(WindowImplBase::FromHandle(hwnd), nullptr);
    ::DestroyWindow(hwnd);
}

}  // namespace

// The list engine in a real window under a parent: mouse and key messages in, selection,
// notifications, sort calls, scroll positions, column changes and title tips out.
#include <gtest/gtest.h>

#include <string>

#include "TestList.h"
#include "listctrl/DropArrows.h"
#include "listctrl/TitleTip.h"

using namespace Vorlaq;
using namespace listtest;

namespace {

int RowY(const TestList& list, int row)  // middle of a row, client y
{
    return list.Scroll().RowTop(row) + list.RowHeight() / 2;
}

std::vector<int> Selected(const TestList& list)
{
    std::vector<int> rows;
    list.GetSelectedRows(rows);
    return rows;
}

TEST(ListWindow, CreatesWithItsStylesAndScrollRange)
{
    Host host(5000);
    TestList& list = host.list;
    ASSERT_NE(list.m_hWnd, nullptr);
    EXPECT_GT(list.RowHeight(), 6);
    EXPECT_EQ(list.HeaderHeight(), list.RowHeight());
    EXPECT_FALSE(list.GetExStyle() & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(list.GetExStyle() & WS_EX_STATICEDGE);
    EXPECT_TRUE(list.GetStyle() & WS_CLIPCHILDREN);
    SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(::GetScrollInfo(list, SB_VERT, &si));
    const RECT client = list.GetClientRect();
    EXPECT_EQ(si.nMax, 5000 * list.RowHeight() + list.HeaderHeight());
    EXPECT_EQ(static_cast<int>(si.nPage), client.bottom - list.HeaderHeight());
    EXPECT_EQ(list.Columns().TotalWidth(), 399);

    Host empty(0);
    SCROLLINFO none{sizeof(none), SIF_ALL, 0, 0, 0, 0, 0};
    ::GetScrollInfo(empty.list, SB_VERT, &none);
    EXPECT_EQ(none.nMax, 0);
    EXPECT_FALSE(empty.list.Scroll().VerticalRange().InUse());
}

TEST(ListWindow, ClicksSelectAndNotifyTheParent)
{
    Host host(5000);
    TestList& list = host.list;
    Click(list, 100, RowY(list, 2));
    EXPECT_EQ(Selected(list), (std::vector<int>{2}));
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[0].code, LN_SELCHANGED);
    EXPECT_EQ(host.notices[0].item, 2);
    EXPECT_EQ(host.notices[0].column, 1);
    EXPECT_EQ(host.notices[0].id, 1007u);
    EXPECT_EQ(host.notices[0].from, list.m_hWnd);
    EXPECT_EQ(host.notices[1].code, LN_CLICK);
    EXPECT_EQ(host.notices[1].item, 2);

    Click(list, 30, RowY(list, 5), MK_SHIFT);
    EXPECT_EQ(Selected(list), (std::vector<int>{2, 3, 4, 5}));
    Click(list, 30, RowY(list, 3), MK_CONTROL);
    EXPECT_EQ(Selected(list), (std::vector<int>{2, 4, 5}));

    // A plain press on a row of the multi-selection waits for the release.
    MouseDown(list, 30, RowY(list, 4));
    EXPECT_EQ(Selected(list), (std::vector<int>{2, 4, 5}));
    MouseUp(list, 30, RowY(list, 4));
    EXPECT_EQ(Selected(list), (std::vector<int>{4}));
}

TEST(ListWindow, EmptySpaceKeepsTheSelectionAndRightReleaseThereClearsIt)
{
    Host host(5);
    TestList& list = host.list;
    Click(list, 100, RowY(list, 1));
    host.notices.clear();
    Click(list, 100, RowY(list, 8));
    EXPECT_EQ(Selected(list), (std::vector<int>{1}));
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_EQ(host.notices[0].code, LN_CLICK);
    EXPECT_EQ(host.notices[0].item, -1);
    EXPECT_EQ(host.notices[0].column, 1);

    ::SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, RowY(list, 3)));
    EXPECT_EQ(Selected(list), (std::vector<int>{3}));  // an unselected row is taken
    ::SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(100, RowY(list, 3)));
    EXPECT_EQ(Selected(list), (std::vector<int>{3}));
    ::SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(100, RowY(list, 9)));
    EXPECT_TRUE(Selected(list).empty());
    EXPECT_EQ(host.notices.back().code, LN_RCLICK);
    EXPECT_EQ(host.notices.back().item, -1);
}

TEST(ListWindow, KeysMoveFocusAndSelectionAndScrollIntoView)
{
    Host host(5000);
    TestList& list = host.list;
    Click(list, 30, RowY(list, 0));
    Key(list, VK_DOWN);
    EXPECT_EQ(Selected(list), (std::vector<int>{1}));
    Key(list, VK_DOWN, true);
    Key(list, VK_DOWN, true);
    EXPECT_EQ(Selected(list), (std::vector<int>{1, 2, 3}));
    Key(list, VK_DOWN, false, true);  // Ctrl: the focus moves alone
    EXPECT_EQ(list.Selection().FocusRow(), 4);
    EXPECT_EQ(Selected(list), (std::vector<int>{1, 2, 3}));

    const int before = host.Count(LN_SELCHANGED);
    Key(list, 'A', false, true);
    EXPECT_EQ(list.Selection().Count(), 5000);
    EXPECT_EQ(host.Count(LN_SELCHANGED), before);  // Ctrl+A tells nobody

    Key(list, VK_END);
    EXPECT_EQ(Selected(list), (std::vector<int>{4999}));
    EXPECT_TRUE(list.Scroll().IsRowFullyVisible(4999));
    EXPECT_EQ(list.Scroll().TopRow(), 4999 - list.Scroll().RowsPerPage() + 1);
    EXPECT_EQ(::GetScrollPos(list, SB_VERT), list.Scroll().VerticalPos());
    Key(list, VK_HOME);
    EXPECT_EQ(list.Scroll().VerticalPos(), 0);
    Key(list, VK_NEXT);
    EXPECT_EQ(list.Selection().FocusRow(), list.Scroll().RowsPerPage() - 1);
    EXPECT_EQ(list.Scroll().VerticalPos(), 0);  // the last whole row of the first page
}

TEST(ListWindow, TypeAheadSearchesTheSortColumn)
{
    Host host(200);
    TestList& list = host.list;
    list.EnableSort(true);
    Click(list, 100, list.HeaderHeight() / 2);  // sort by name: greatest first
    ASSERT_EQ(list.sortCalls.size(), 1u);
    Key(list, 'B');
    const int first = list.Selection().FocusRow();
    ASSERT_GE(first, 0);
    EXPECT_EQ(list.GetItemText(first, 1).substr(0, 5), L"Bravo");
    EXPECT_EQ(list.GetItemText(first - 1, 1).substr(0, 5), L"Delta");  // the first Bravo in the order
    Key(list, 'B');  // quickly again: the next one
    EXPECT_EQ(list.Selection().FocusRow(), first + 1);
    Key(list, 'R');  // "br": the focus row matches already
    EXPECT_EQ(list.Selection().FocusRow(), first + 1);
    ::Sleep(850);
    Key(list, 'A');  // after the pause a new letter searches from the top
    EXPECT_EQ(list.GetItemText(list.Selection().FocusRow(), 1).substr(0, 5), L"alpha");
    EXPECT_TRUE(list.Scroll().IsRowFullyVisible(list.Selection().FocusRow()));
}

TEST(ListWindow, HeaderClicksSortThroughTheDerivedClass)
{
    Host host(300);
    TestList& list = host.list;
    const int y = list.HeaderHeight() / 2;
    Click(list, 100, y);
    EXPECT_TRUE(list.sortCalls.empty());  // the switch is off
    list.EnableSort(true);
    Click(list, 30, RowY(list, 4));
    Click(list, 30, RowY(list, 6), MK_SHIFT);
    Click(list, 100, y);
    ASSERT_EQ(list.sortCalls.size(), 1u);
    EXPECT_EQ(list.sortCalls[0], std::make_pair(1, true));
    EXPECT_TRUE(list.Sort().Direction());
    EXPECT_TRUE(Selected(list).empty());
    EXPECT_EQ(list.Selection().Anchor(), -1);
    EXPECT_EQ(list.Selection().FocusRow(), -1);
    EXPECT_EQ(list.GetItemText(0, 1), L"mike_00292.jpg");
    Click(list, 100, y);
    EXPECT_EQ(list.reverseCalls, 1);
    EXPECT_FALSE(list.Sort().Direction());
    Click(list, 370, y);  // Type
    EXPECT_EQ(list.sortCalls.back(), std::make_pair(3, true));
    EXPECT_TRUE(list.Sort().Direction());
    EXPECT_EQ(host.notices.back().code, LN_CLICK);
    EXPECT_EQ(host.notices.back().item, -1);

    list.ShowHeader(false);  // no header: nothing to click
    list.SortColumn(1);
    EXPECT_EQ(list.sortCalls.size(), 2u);
}

TEST(ListWindow, ScrollingKeepsWholeRowsAndTheWheelStopsAtTheTop)
{
    Host host(5000);
    TestList& list = host.list;
    list.SetSmoothScroll(false);
    const int page = list.GetClientRect().bottom - list.HeaderHeight();
    ::SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(list.Scroll().VerticalPos(), page);
    EXPECT_EQ(::GetScrollPos(list, SB_VERT), page);
    EXPECT_EQ(list.Scroll().RowTop(list.Scroll().TopRow()), list.HeaderHeight());
    ::SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
    ::SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(list.Scroll().VerticalPos(), 0);
    ::SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(list.Scroll().VerticalPos(), 3 * list.RowHeight());
    ::SendMessageW(list, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_TRUE(list.Scroll().IsRowFullyVisible(4999));

    list.SetSmoothScroll(true);
    ::SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
    ::SendMessageW(list, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_TRUE(list.IsSmoothScrolling());
    EXPECT_EQ(list.Scroll().VerticalPos(), list.RowHeight());
    ::SendMessageW(list, WM_VSCROLL, SB_LINEDOWN, 0);  // a second scroll ends the first at once
    EXPECT_FALSE(list.IsSmoothScrolling());
    EXPECT_EQ(list.Scroll().VerticalPos(), 2 * list.RowHeight());
    ::SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_TRUE(list.IsSmoothScrolling());
    const DWORD start = ::GetTickCount();
    while (list.IsSmoothScrolling() && ::GetTickCount() - start < 3000) {
        Pump();
        ::Sleep(5);
    }
    EXPECT_FALSE(list.IsSmoothScrolling());
}

TEST(ListWindow, TitleTipShowsClippedCellsAndPassesClicksOn)
{
    Host host(50);
    TestList& list = host.list;
    const CTitleTip* tip = list.TitleTip();
    ASSERT_NE(tip, nullptr);
    MouseMove(list, 260, RowY(list, 1), 0);  // the long path
    ASSERT_TRUE(tip->IsShown());
    EXPECT_EQ(tip->Text(), list.GetItemText(1, 2));
    RECT tipRect{};
    ::GetWindowRect(tip->m_hWnd, &tipRect);
    POINT origin{list.TextRect(1, 2).left - 4, list.CellRect(1, 2).top};
    ::ClientToScreen(list, &origin);
    EXPECT_EQ(tipRect.left, origin.x);
    EXPECT_EQ(tipRect.top, origin.y);
    EXPECT_EQ(tipRect.bottom - tipRect.top, list.RowHeight());
    EXPECT_EQ(tipRect.right - tipRect.left, tip->TextWidth(list.GetItemText(1, 2)) + 11);
    EXPECT_EQ(::GetCapture(), tip->m_hWnd);

    // A click on the tip reaches the list as a click on the cell under it.
    ::SendMessageW(tip->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 4));
    ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(260, RowY(list, 1)));
    EXPECT_FALSE(tip->IsShown());
    EXPECT_EQ(Selected(list), (std::vector<int>{1}));

    MouseMove(list, 260, RowY(list, 2), 0);
    EXPECT_TRUE(tip->IsShown());
    MouseMove(list, 30, RowY(list, 2), 0);  // a number fits its cell
    EXPECT_FALSE(tip->IsShown());
    MouseMove(list, 260, RowY(list, 3), 0);
    EXPECT_TRUE(tip->IsShown());
    ::SendMessageW(list, WM_VSCROLL, SB_LINEDOWN, 0);  // scrolling hides it
    EXPECT_FALSE(tip->IsShown());
}

TEST(ListWindow, DividerDragResizesAndDoubleClickFits)
{
    Host host(100);
    TestList& list = host.list;
    const int y = list.HeaderHeight() / 2;
    MouseDown(list, 198, y);  // Name's right edge is at 200
    MouseMove(list, 228, y);
    MouseUp(list, 228, y);
    EXPECT_EQ(list.Columns().At(1)->width, 170);
    EXPECT_TRUE(list.sortCalls.empty());

    // Fit the Type column (right edge now at 430) to its widest text.
    ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(429, y));
    ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(429, y));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    const HDC dc = ::GetDC(list);
    const HGDIOBJ old = ::SelectObject(dc, font);
    int widest = 0;
    for (const wchar_t* text : {L"Type", L"txt", L"docx", L"jpg", L"log", L"pdf"}) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
        widest = std::max<int>(widest, size.cx);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::DeleteObject(font);
    EXPECT_EQ(list.Columns().At(3)->width, widest + 20);
    EXPECT_EQ(host.notices.back().code, LN_CLICK);
    EXPECT_EQ(host.Count(LN_DBLCLK), 1);
}

TEST(ListWindow, HiddenColumnOpensAgainFromTheDividerRightOfItsEdge)
{
    Host host(100);
    TestList& list = host.list;
    list.SetColumnWidth(2, 0);  // Path hidden behind Name's edge at 200
    const int y = list.HeaderHeight() / 2;
    MouseDown(list, 202, y);
    MouseMove(list, 262, y);
    MouseUp(list, 262, y);
    EXPECT_EQ(list.Columns().At(2)->width, 60);
    EXPECT_EQ(list.Columns().At(1)->width, 140);
}

TEST(ListWindow, HeaderDragMovesTheColumnAndItsIdentity)
{
    Host host(100);
    TestList& list = host.list;
    const int y = list.HeaderHeight() / 2;
    MouseDown(list, 100, y);  // Name
    MouseMove(list, 110, y);  // more than 4 pixels: a drag, but over its own place
    EXPECT_EQ(list.DraggedColumn(), 1);
    EXPECT_EQ(list.DropPosition(), -1);
    EXPECT_FALSE(list.DropArrows()->IsShown());
    MouseMove(list, 300, y);  // right half of Path: before Type
    EXPECT_EQ(list.DropPosition(), 3);
    ASSERT_TRUE(list.DropArrows()->IsShown());
    RECT arrows{};
    ::GetWindowRect(list.DropArrows()->m_hWnd, &arrows);
    POINT edge{350, y};
    ::ClientToScreen(list, &edge);
    EXPECT_EQ(arrows.left, edge.x - 7);
    EXPECT_EQ(arrows.top, edge.y - (list.HeaderHeight() + 20) / 2);
    EXPECT_EQ(arrows.right - arrows.left, 12);
    MouseUp(list, 300, y);
    EXPECT_FALSE(list.DropArrows()->IsShown());
    EXPECT_EQ(list.Columns().At(1)->title, L"Path");
    EXPECT_EQ(list.Columns().At(2)->title, L"Name");
    EXPECT_EQ(list.Columns().At(2)->index, 1);
    EXPECT_TRUE(list.sortCalls.empty());  // a drag is not a click

    // Escape cancels; a release over the rows drops nothing.
    MouseDown(list, 100, y);  // Path now
    MouseMove(list, 20, y);  // left half of Index
    EXPECT_EQ(list.DropPosition(), 0);
    Key(list, VK_ESCAPE);
    EXPECT_FALSE(list.DropArrows()->IsShown());
    MouseUp(list, 30, y);
    EXPECT_EQ(list.Columns().At(1)->title, L"Path");
    MouseDown(list, 100, y);
    MouseMove(list, 30, y);
    MouseUp(list, 30, RowY(list, 3));
    EXPECT_EQ(list.Columns().At(1)->title, L"Path");

    // The moved column still sorts by its own data.
    list.EnableSort(true);
    Click(list, 270, y);  // Name at 210..350
    ASSERT_EQ(list.sortCalls.size(), 1u);
    EXPECT_EQ(list.sortCalls[0].first, 1);
}

TEST(ListWindow, RubberBandSelectsTouchedRowsWithoutNotifying)
{
    Host host(5000);
    TestList& list = host.list;
    MouseDown(list, 100, RowY(list, 1));
    EXPECT_EQ(host.Count(LN_SELCHANGED), 1);
    MouseMove(list, 150, RowY(list, 4));
    EXPECT_EQ(Selected(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list.Selection().Anchor(), 1);
    EXPECT_EQ(list.Selection().FocusRow(), 4);
    MouseMove(list, 150, RowY(list, 2));
    EXPECT_EQ(Selected(list), (std::vector<int>{1, 2}));
    MouseUp(list, 150, RowY(list, 2));
    EXPECT_EQ(host.Count(LN_SELCHANGED), 1);
    EXPECT_EQ(host.Count(LN_CLICK), 0);

    // Past the last column the band selects nothing.
    MouseDown(list, 450, RowY(list, 6));
    MouseMove(list, 480, RowY(list, 9));
    EXPECT_TRUE(Selected(list).empty());
    MouseUp(list, 480, RowY(list, 9));
}

TEST(ListWindow, CheckBoxCellsToggleByClickAndSpace)
{
    Host host(20, 600, 300, true);
    TestList& list = host.list;
    ASSERT_EQ(list.rows[0].done, L"1");
    Click(list, 500, RowY(list, 0));  // Done: 480..530, past Note (400..480)
    EXPECT_EQ(list.rows[0].done, L"0");
    Click(list, 500, RowY(list, 0));
    EXPECT_EQ(list.rows[0].done, L"1");  // two clicks, two toggles
    EXPECT_EQ(host.Count(LN_MODIFIED), 2);
    Key(list, VK_SPACE);
    EXPECT_EQ(list.rows[0].done, L"0");
    EXPECT_EQ(host.Count(LN_MODIFIED), 3);
    EXPECT_EQ(host.notices.back().column, 5);
}

TEST(ListWindow, EditBoxStoresTextOnReturnAndNothingOnEscape)
{
    Host host(20, 600, 300, true);
    TestList& list = host.list;
    ::SetFocus(list);
    Click(list, 440, RowY(list, 1));  // Note
    const HWND editor = list.EditorWindow();
    ASSERT_NE(editor, nullptr);
    for (wchar_t c : std::wstring(L"hi"))
        ::SendMessageW(editor, WM_CHAR, c, 1);
    ::SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(list.rows[1].note, L"hi");
    EXPECT_EQ(list.EditorWindow(), nullptr);
    EXPECT_EQ(host.notices.back().code, LN_MODIFIED);
    EXPECT_EQ(host.notices.back().item, 1);
    EXPECT_EQ(host.notices.back().column, 4);

    Click(list, 440, RowY(list, 2));
    ASSERT_NE(list.EditorWindow(), nullptr);
    ::SendMessageW(list.EditorWindow(), WM_CHAR, L'x', 1);
    const int modified = host.Count(LN_MODIFIED);
    ::SendMessageW(list.EditorWindow(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(list.rows[2].note, L"");
    EXPECT_EQ(host.Count(LN_MODIFIED), modified);
    EXPECT_EQ(::GetFocus(), list.m_hWnd);
}

TEST(ListWindow, TabStoresTheEditAndMovesTheFocusCell)
{
    Host host(20, 600, 300, true);
    TestList& list = host.list;
    list.SetFocusCellMode(true);
    ::SetFocus(list);
    Click(list, 440, RowY(list, 3));
    ASSERT_NE(list.EditorWindow(), nullptr);
    ::SendMessageW(list.EditorWindow(), WM_CHAR, L'z', 1);
    ::SendMessageW(list.EditorWindow(), WM_KEYDOWN, VK_TAB, 1);
    Pump();  // the Tab the editor hands back to the list
    EXPECT_EQ(list.rows[3].note, L"z");
    EXPECT_EQ(list.Selection().FocusRow(), 3);
    EXPECT_EQ(list.Selection().FocusColumn(), 5);
    EXPECT_EQ(list.EditorWindow(), nullptr);  // a check box opens no editor
}

TEST(ListWindow, DropDownEditorClosesThroughReflectedNotifications)
{
    Host host(20, 600, 300, true);
    TestList& list = host.list;
    list.formats[4] = 3;  // Note becomes a drop-down list
    ::SetFocus(list);
    Click(list, 440, RowY(list, 2));
    const HWND combo = list.EditorWindow();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
    ::SendMessageW(combo, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(list.rows[2].note, L"green");
    EXPECT_EQ(host.notices.back().code, LN_MODIFIED);

    // Losing the focus closes it too: the combo tells the list, which reflects it back.
    Click(list, 440, RowY(list, 4));
    ASSERT_NE(list.EditorWindow(), nullptr);
    ::SendMessageW(list.EditorWindow(), CB_SETCURSEL, 2, 0);
    ::SetFocus(host.window);
    EXPECT_EQ(list.rows[4].note, L"blue");
    EXPECT_EQ(list.EditorWindow(), nullptr);
}

TEST(ListWindow, CancelModeEndsAHeaderDragWithoutMoving)
{
    Host host(50);
    TestList& list = host.list;
    const int y = list.HeaderHeight() / 2;
    MouseDown(list, 100, y);
    MouseMove(list, 300, y);
    ASSERT_TRUE(list.DropArrows()->IsShown());
    ::SendMessageW(list, WM_CANCELMODE, 0, 0);
    EXPECT_FALSE(list.DropArrows()->IsShown());
    EXPECT_EQ(list.DraggedColumn(), -1);
    EXPECT_EQ(list.PressedColumn(), -1);
    MouseUp(list, 300, y);
    EXPECT_EQ(list.Columns().At(1)->title, L"Name");
}

TEST(ListWindow, RubberBandBelowTheListScrollsAndKeepsSelecting)
{
    Host host(5000);
    TestList& list = host.list;
    MouseDown(list, 100, RowY(list, 1));
    MouseMove(list, 150, RowY(list, 3));
    const int bottom = list.GetClientRect().bottom;
    MouseMove(list, 150, bottom + 15);  // below the list: one line per tick
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 300) {
        Pump();
        ::Sleep(10);
    }
    EXPECT_GT(list.Scroll().VerticalPos(), 0);
    const std::vector<int> rows = Selected(list);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), 1);
    EXPECT_GT(rows.back(), list.Scroll().RowsPerPage());  // rows that scrolled in were taken
    MouseUp(list, 150, bottom + 15);
    const int pos = list.Scroll().VerticalPos();
    Pump();
    ::Sleep(50);
    Pump();
    EXPECT_EQ(list.Scroll().VerticalPos(), pos);  // the release stopped it
}

TEST(ListWindow, ShiftClickAfterTheRowsWereReplacedUsesTheOldAnchor)
{
    Host host(100);
    TestList& list = host.list;
    Click(list, 30, RowY(list, 8));
    list.rows.resize(5);  // a new scan: fewer rows, selection emptied, anchor kept
    list.ClearSelectedRows();
    list.ResetScrollBars();
    Click(list, 30, RowY(list, 2), MK_SHIFT);
    EXPECT_EQ(Selected(list), (std::vector<int>{2, 3, 4}));
}

TEST(ListWindow, ClickOnAPartlyShownRowScrollsItIntoViewAMomentLater)
{
    Host host(5000);
    TestList& list = host.list;
    const int row = list.Scroll().RowsPerPage();  // the first row that is cut at the bottom
    if (list.Scroll().RowsPerPage(true) == row)
        GTEST_SKIP() << "the page holds whole rows only";
    Click(list, 30, list.Scroll().RowTop(row) + 2);
    EXPECT_EQ(Selected(list), (std::vector<int>{row}));
    EXPECT_EQ(list.Scroll().VerticalPos(), 0);  // not at once
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 600 && list.Scroll().VerticalPos() == 0) {
        Pump();
        ::Sleep(10);
    }
    EXPECT_GE(::GetTickCount() - start, 200u);
    EXPECT_TRUE(list.Scroll().IsRowFullyVisible(row));
    EXPECT_EQ(list.Scroll().TopRow(), 1);
}

}  // namespace

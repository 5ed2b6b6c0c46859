// Times the list with 300,000 rows: adding them one by one as a scan does, a full paint,
// scrolling to the end, sorting, reversing, select-all and a type-ahead miss. Prints figures;
// asserts nothing. Usage: list_benchmark.exe [ROWS]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <functional>

#include "TestList.h"
#include "tests/support/Milliseconds.h"

using namespace listtest;

namespace {

using QuorretTest::Now;

void Report(const wchar_t* what, double ms) { std::wprintf(L"%-44ls %10.1f ms\n", what, ms); }

double Time(const std::function<void()>& step)
{
    const double start = Now();
    step();
    return Now() - start;
}

void PaintNow(HWND hwnd) { ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rows = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 300000;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    Host host(0, 800, 600);
    TestList& list = host.list;
    list.SetSmoothScroll(false);
    list.rows.reserve(static_cast<size_t>(rows));

    // As the dialog does for each found file: append, recompute the bars, ask for a repaint; the
    // message loop paints between arrivals.
    double slowest = 0;
    const double added = Time([&] {
        for (int i = 0; i < rows; ++i) {
            const double start = Now();
            list.rows.push_back(MakeRow(i));
            list.ResetScrollBars(SB_BOTH, -1, true);
            list.Invalidate();
            if (i % 500 == 0)
                Pump();
            const double took = Now() - start;
            if (took > slowest)
                slowest = took;
        }
        Pump();
    });
    std::wprintf(L"rows: %d\n", rows);
    Report(L"add all rows one by one (with repaints)", added);
    Report(L"  per row, average", added / rows);
    Report(L"  slowest single add (incl. a paint)", slowest);
    Report(L"paint the whole list", Time([&] { PaintNow(list); }));
    Report(L"scroll to the end (bar) and paint", Time([&] {
               ::SendMessageW(list, WM_VSCROLL, SB_BOTTOM, 0);
               PaintNow(list);
           }));
    Report(L"Home key and paint", Time([&] {
               Key(list, VK_HOME);
               PaintNow(list);
           }));
    Report(L"End key and paint", Time([&] {
               Key(list, VK_END);
               PaintNow(list);
           }));
    list.EnableSort(true);
    Report(L"sort by name (header click) and paint", Time([&] {
               Click(list, 100, list.HeaderHeight() / 2);
               PaintNow(list);
           }));
    Report(L"reverse (second click) and paint", Time([&] {
               Click(list, 100, list.HeaderHeight() / 2);
               PaintNow(list);
           }));
    Report(L"sort by number (header click) and paint", Time([&] {
               Click(list, 30, list.HeaderHeight() / 2);
               PaintNow(list);
           }));
    Report(L"Ctrl+A and paint", Time([&] {
               Key(list, 'A', false, true);
               PaintNow(list);
           }));
    Report(L"type-ahead with no match (whole list searched)", Time([&] { Key(list, 'Z'); }));
    Report(L"Shift+End from the top (range select)", Time([&] {
               Key(list, VK_HOME);
               Key(list, VK_END, true);
               PaintNow(list);
           }));
    return 0;
}

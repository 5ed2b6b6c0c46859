// Times what a found file costs the main dialog, step by step (among them what one posted message
// per file would cost), and then a whole fill of the real dialog from a worker that hands files
// over as fast as it can, with how often timers and the list's paints got through meanwhile. Prints figures; asserts nothing. Usage: scan_fill_benchmark.exe [ROWS]
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <thread>

#include "app/QuorretMainDlg.h"
#include "app/ScanMessages.h"
#include "app/WindowScanNotify.h"
#include "base/WideFormat.h"
#include "tests/support/Milliseconds.h"
#include "ui/AppModule.h"
#include "ui/MessageLoop.h"

namespace {

using QuorretTest::Now;

std::unique_ptr<Vorlaq::DeletedFileInfo> MakeFile(int i)
{
    const uint64_t time = 132000000000000000ULL + static_cast<uint64_t>(i) * 10000000ULL;
    return std::make_unique<Vorlaq::DeletedFileInfo>(
        L"D:\\", 16 + static_cast<uint64_t>(i), Vorlaq::FormatWide(L"file-%d.dat", i),
        Vorlaq::FormatWide(L"D:\\folder-%d\\sub\\", i % 97), static_cast<uint64_t>(i) * 37, &time, &time, &time);
}

void PerRow(const wchar_t* what, double ms, int rows)
{
    std::wprintf(L"  %-58ls %8.2f us\n", what, ms * 1000.0 / rows);
}

void Drain()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK SinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == Vorlaq::FileScanFound) {
        std::unique_ptr<Vorlaq::DeletedFileInfo> file(reinterpret_cast<Vorlaq::DeletedFileInfo*>(wParam));
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The steps one at a time, each over `rows` rows.
void MeasureSteps(int rows)
{
    std::wprintf(L"per row, one step at a time (%d rows):\n", rows);
    WNDCLASSW sinkClass{};
    sinkClass.lpfnWndProc = SinkProc;
    sinkClass.hInstance = ::GetModuleHandleW(nullptr);
    sinkClass.lpszClassName = L"ScanFillSink";
    ::RegisterClassW(&sinkClass);
    const HWND frame = ::CreateWindowExW(0, L"ScanFillSink", L"sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                                         600, nullptr, nullptr, sinkClass.hInstance, nullptr);
    Drain();

    // One message per file: posting on a worker, taking and dispatching on this thread.
    double posted = 0;
    std::thread worker([&] {
        const double start = Now();
        for (int i = 0; i < rows; ++i)
            ::PostMessageW(frame, Vorlaq::FileScanFound, reinterpret_cast<WPARAM>(MakeFile(i).release()), 0);
        posted = Now() - start;
    });
    worker.join();
    PerRow(L"worker: make a file and post it (PostMessage)", posted, rows);

    // Probes of the other queues while these posts wait, as the loop's turns do.
    double start = Now();
    MSG msg;
    for (int i = 0; i < rows / 10; ++i)
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_PAINT);
    PerRow(L"PeekMessage input+paint, none there, posts queued", Now() - start, rows / 10);
    start = Now();
    for (int i = 0; i < 100; ++i)
        ::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE);
    std::wprintf(L"  %-58ls %8.2f us (with %d posts queued)\n", L"PeekMessage WM_TIMER range, none there",
                 (Now() - start) * 10.0, rows);
    start = Now();
    volatile DWORD tick = 0;
    for (int i = 0; i < rows; ++i)
        tick = ::GetTickCount();
    PerRow(tick ? L"GetTickCount" : L"GetTickCount (zero)", Now() - start, rows);

    start = Now();
    Drain();
    PerRow(L"PeekMessage + dispatch + delete", Now() - start, rows);

    // The hand-over box instead: the worker puts, the window takes all at once.
    Vorlaq::FoundFileChannel box(static_cast<size_t>(rows));
    std::thread filler([&] {
        const double begin = Now();
        bool wasEmpty = false;
        for (int i = 0; i < rows; ++i) {
            std::unique_ptr<Vorlaq::DeletedFileInfo> file = MakeFile(i);
            box.Put(file, [] { return true; }, &wasEmpty);
        }
        posted = Now() - begin;
    });
    filler.join();
    PerRow(L"worker: make a file and put it into the hand-over box", posted, rows);
    start = Now();
    Vorlaq::FoundFileChannel::Files files = box.TakeAll();
    files.clear();
    PerRow(L"take all from the box and delete", Now() - start, rows);

    // The list's parts.
    FileListCtrl list;
    const HWND control = ::CreateWindowExW(0, FileListCtrl::kClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                                           0, 0, 780, 500, frame, reinterpret_cast<HMENU>(1007),
                                           sinkClass.hInstance, nullptr);
    if (!list.AttachControl(control)) {
        std::wprintf(L"the list could not be made\n");
        return;
    }
    const HWND label = ::CreateWindowExW(0, L"STATIC", L"0", WS_CHILD | WS_VISIBLE, 0, 510, 100, 20, frame, nullptr,
                                         sinkClass.hInstance, nullptr);
    auto timed = [&](const wchar_t* what, const std::function<void(int)>& step) {
        list.DeleteAllItems();
        Drain();
        const double begin = Now();
        for (int i = 0; i < rows; ++i)
            step(i);
        const double took = Now() - begin;
        Drain();
        PerRow(what, took, rows);
    };
    timed(L"list: append only (pointer taken over)", [&](int i) { list.AppendItem(MakeFile(i)); });
    timed(L"list: append + scroll bars + invalidate (ShowAppendedItems)", [&](int i) {
        list.AppendItem(MakeFile(i));
        list.ShowAppendedItems();
    });
    timed(L"list: append + scroll bars", [&](int i) {
        list.AppendItem(MakeFile(i));
        list.ResetScrollBars(SB_BOTH, -1, true);
    });
    timed(L"list: append + invalidate", [&](int i) {
        list.AppendItem(MakeFile(i));
        list.Invalidate();
    });
    timed(L"list: AddItem of a copy (append, bars, invalidate)", [&](int i) { list.AddItem(*MakeFile(i)); });
    timed(L"count label: format + SetWindowText", [&](int i) {
        list.AppendItem(MakeFile(i));
        ::SetWindowTextW(label, Vorlaq::FormatWide(L"%d", list.GetItemCount()).c_str());
    });
    ::DestroyWindow(frame);
    Drain();
}

// The first click on each column's header, on a list of `rows` rows, with the paint after it.
void MeasureSorts(int rows)
{
    std::wprintf(L"header clicks on %d rows (sort or reverse, then a paint):\n", rows);
    const HWND frame = ::CreateWindowExW(0, L"ScanFillSink", L"sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                                         600, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    FileListCtrl list;
    const HWND control = ::CreateWindowExW(0, FileListCtrl::kClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 780,
                                           550, frame, reinterpret_cast<HMENU>(1007), nullptr, nullptr);
    if (!list.AttachControl(control))
        return;
    list.EnableSort(true);
    for (int i = 0; i < rows; ++i) {
        // Arrival order is record order; names and paths in a shuffled order, as real ones are.
        const int j = static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % static_cast<unsigned>(rows));
        list.AppendItem(MakeFile(j));
    }
    list.ShowAppendedItems();
    Drain();
    const wchar_t* names[] = {L"Index", L"Name", L"Path", L"Type", L"Size", L"Modified Time", L"Creation Time"};
    for (int column = 0; column < kFileColumnCount; ++column) {
        for (int click = 0; click < 2; ++click) {
            const double start = Now();
            list.SortColumn(list.Columns().PositionOf(column));
            ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            std::wprintf(L"  %-58ls %8.0f ms\n",
                         Vorlaq::FormatWide(L"%s, %s click", names[column], click ? L"second" : L"first").c_str(),
                         Now() - start);
        }
    }
    ::DestroyWindow(frame);
    Drain();
}

// Sees every message the loop takes: when the scan's end went by, timer gaps and list paints.
class Watcher : public Vorlaq::MessageFilter {
public:
    HWND list = nullptr;
    HWND clock = nullptr;
    double finishedAt = 0;
    double lastTick = 0;
    double widestGap = 0;
    int ticks = 0;
    int paints = 0;

    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == Vorlaq::FileScanFinished && finishedAt == 0)
            finishedAt = Now();
        if (msg->message == WM_PAINT && msg->hwnd == list)
            ++paints;
        if (msg->message == WM_TIMER && msg->hwnd == clock) {
            const double now = Now();
            if (lastTick > 0 && now - lastTick > widestGap)
                widestGap = now - lastTick;
            lastTick = now;
            ++ticks;
        }
        return false;
    }
};

// The real dialog in the real loop, fed by a worker through the real notify and hand-over box.
void MeasureFill(int rows)
{
    Vorlaq::MessageLoop loop;
    Vorlaq::AppModule::instance().AddMessageLoop(&loop);
    auto dialog = std::make_unique<QuorretMainDlg>();
    if (dialog->Create(nullptr) == nullptr) {
        std::wprintf(L"the dialog could not be made\n");
        return;
    }
    dialog->ShowWindow(SW_SHOW);
    Drain();

    Watcher watcher;
    watcher.list = dialog->GetDlgItem(IDC_FILE_LIST);
    watcher.clock = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    loop.AddMessageFilter(&watcher);
    ::SetTimer(watcher.clock, 1, 50, nullptr);

    Vorlaq::WindowScanNotify notify(dialog->m_hWnd, dialog->NewHandOver());
    std::atomic<bool> done{false};
    const double start = Now();
    double posted = 0;
    std::thread worker([&] {
        for (int i = 0; i < rows; ++i)
            notify.Found(MakeFile(i));
        posted = Now() - start;
        notify.Finished();
        done = true;
    });
    // Ends the loop once the dialog has handled the end and the queue is empty.
    class Quitter : public Vorlaq::IdleHandler {
    public:
        explicit Quitter(Watcher& w) : w_(w) {}
        bool OnIdle() override
        {
            if (w_.finishedAt > 0)
                ::PostQuitMessage(0);
            return false;
        }
        Watcher& w_;
    } quitter(watcher);
    loop.AddIdleHandler(&quitter);
    loop.Run();
    worker.join();
    const double filled = Now() - start;

    std::wprintf(L"the real dialog, %d rows posted by a worker:\n", rows);
    std::wprintf(L"  %-58ls %8.0f ms\n", L"worker done", posted);
    std::wprintf(L"  %-58ls %8.0f ms\n", L"the end handled (all rows listed)", watcher.finishedAt - start);
    std::wprintf(L"  %-58ls %8.0f ms\n", L"loop ended", filled);
    std::wprintf(L"  %-58ls %8.2f us\n", L"per row", (watcher.finishedAt - start) * 1000.0 / rows);
    std::wprintf(L"  %-58ls %8d\n", L"rows in the list", dialog->List().GetItemCount());
    std::wprintf(L"  %-58ls %8d (widest gap %.0f ms)\n", L"50 ms timer ticks that got through", watcher.ticks,
                 watcher.widestGap);
    std::wprintf(L"  %-58ls %8d\n", L"list paints", watcher.paints);
    loop.RemoveMessageFilter(&watcher);
    loop.RemoveIdleHandler(&quitter);
    ::DestroyWindow(watcher.clock);
    dialog->DestroyWindow();
    Drain();
    dialog.reset();
    Vorlaq::AppModule::instance().RemoveMessageLoop();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rows = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 300000;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    Vorlaq::AppModule::instance().Init(::GetModuleHandleW(nullptr));
    MeasureSteps(rows < 20000 ? rows : 20000);
    MeasureFill(rows);
    MeasureSorts(rows);
    return 0;
}

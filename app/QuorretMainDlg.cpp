#include "app/QuorretMainDlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "app/BrowseForFolder.h"
#include "app/FileSaveDialog.h"
#include "app/QuorretAboutDlg.h"
#include "app/RestoreFlow.h"
#include "app/TextFileSave.h"
#include "app/WebLinks.h"
#include "app/WindowScanNotify.h"
#include "base/LogManager.h"
#include "base/WideFormat.h"
#include "base/os/Files.h"
#include "listctrl/FileListText.h"
#include "scan/FileSystem.h"
#include "scan/TextUtils.h"
#include "scan/VolumeSession.h"
#include "ui/Dpi.h"

using Vorlaq::LogLevel;
using Vorlaq::LogManager;
using Vorlaq::MainDlgState;

namespace {

constexpr const wchar_t* kCaption = L"Vorlaq Quorret";

// The restore's questions and choosers, on the dialog's thread.
class DialogRestoreUi : public Vorlaq::RestoreUi {
public:
    explicit DialogRestoreUi(HWND dialog) : dialog_(dialog) {}

    bool ChooseFile(const std::wstring& proposedName, std::wstring* path) override
    {
        Vorlaq::FileSaveDialog chooser;
        if (!chooser.Show(::GetActiveWindow(), proposedName))
            return false;
        *path = chooser.Path();
        return true;
    }
    bool ChooseFolder(std::wstring* folder) override
    {
        Vorlaq::BrowseForFolder chooser;
        chooser.setOwner(dialog_);
        if (!chooser.show())
            return false;
        *folder = chooser.folder();
        return true;
    }
    bool AskYesNo(const std::wstring& text) override
    {
        return ::MessageBoxW(dialog_, text.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    }
    void Tell(const std::wstring& text) override { ::MessageBoxW(dialog_, text.c_str(), kCaption, MB_OK); }

private:
    HWND dialog_;
};

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

}  // namespace

QuorretMainDlg::QuorretMainDlg()
{
    // The template's control 1007 needs its class before the dialog is created.
    FileListCtrl::RegisterWindowClass();
}

QuorretMainDlg::~QuorretMainDlg()
{
    // Stops the workers and waits for them: a task is never freed under its worker.
    restore_.reset();
    task_.reset();
}

template <typename Body>
LRESULT QuorretMainDlg::Guarded(Body&& body)
{
    try {
        return body();
    } catch (const std::exception&) {
        if (!escaped_)
            escaped_ = std::current_exception();
        if (IsWindow())
            DestroyWindow();
        ::PostQuitMessage(0);
        return 0;
    }
}

std::exception_ptr QuorretMainDlg::TakeEscapedException()
{
    std::exception_ptr escaped = escaped_;
    escaped_ = nullptr;
    return escaped;
}

bool QuorretMainDlg::PreTranslateMessage(MSG* msg)
{
    if (!IsWindow())
        return false;
    // The tooltips need the mouse only; relaying every found file would double its cost.
    if (tooltip_ && msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
        ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return ::IsDialogMessageW(m_hWnd, msg) != FALSE;
}

LRESULT QuorretMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    return Guarded([&] {
        Initialise();
        return TRUE;
    });
}

void QuorretMainDlg::Initialise()
{
    CentreOnWorkArea();
    Vorlaq::SetWindowIcons(m_hWnd);
    if (Vorlaq::MessageLoop* loop = Vorlaq::AppModule::instance().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    scanButton_ = GetDlgItem(IDC_SCAN);
    restoreButton_ = GetDlgItem(IDC_RESTORE);
    helpButton_ = GetDlgItem(IDC_HELP_PAGE);
    aboutButton_ = GetDlgItem(IDC_ABOUT);
    progress_ = GetDlgItem(IDC_PROGRESS);
    disksCombo_ = GetDlgItem(IDC_DISKS);
    filtersEdit_ = GetDlgItem(IDC_FILTERS);
    countLabel_ = GetDlgItem(IDC_FOUND_COUNT);

    ::SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    HideProgress();
    ::SetWindowTextW(countLabel_, L"0");
    ::SendMessageW(disksCombo_, CB_RESETCONTENT, 0, 0);
    disks_.clear();

    FillDiskList();
    if (::SendMessageW(disksCombo_, CB_GETCOUNT, 0, 0) > 0)
        ::SendMessageW(disksCombo_, CB_SETCURSEL, 0, 0);
    ::SetFocus(disksCombo_);

    ::SetWindowTextW(filtersEdit_, L"*.*");

    list_.AttachControl(GetDlgItem(IDC_FILE_LIST));
    list_.EnableSort(true);
    list_.Invalidate();

    CreateToolTips();

    Vorlaq::KeepDialogLayoutOnDpiChange(m_hWnd);
    dpiLayout_.Capture(m_hWnd, Vorlaq::WindowDpi(m_hWnd));
    Vorlaq::DialogDpiLayout::FitLabels(m_hWnd);
    FitColumnsToList(Vorlaq::WindowDpi(m_hWnd));
}

void QuorretMainDlg::FitColumnsToList(int dpi)
{
    std::vector<int> widths;
    for (int position = 0; position < list_.Columns().Count(); ++position)
        widths.push_back(list_.Columns().At(position)->width);
    RECT client{};
    ::GetClientRect(list_.m_hWnd, &client);
    // The list needs no horizontal bar while its columns' total less one pixel (ListColumns.h)
    // is no wider than its client area.
    int room = client.right - client.left + 1;
    if ((::GetWindowLongPtrW(list_.m_hWnd, GWL_STYLE) & WS_VSCROLL) == 0)
        room -= ::MulDiv(::GetSystemMetrics(SM_CXVSCROLL), dpi, Vorlaq::SystemDpi());
    const std::vector<int> fitted = FitColumnWidths(widths, room);
    for (size_t position = 0; position < fitted.size(); ++position)
        if (fitted[position] != widths[position])
            list_.SetColumnWidth(static_cast<int>(position), fitted[position]);
}

void QuorretMainDlg::CentreOnWorkArea()
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const RECT& work = monitor.rcWork;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void QuorretMainDlg::FillDiskList()
{
    for (const std::wstring& root : Vorlaq::EnumLocalDrives()) {
        // The probe logs why a drive does not qualify; the volume is not kept.
        if (!Vorlaq::VolumeSession(Vorlaq::VolumeSource::FromText(root)).IsVolumeOK())
            continue;
        disks_.push_back(root);
        ::SendMessageW(disksCombo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root.c_str()));
    }
}

void QuorretMainDlg::CreateToolTips()
{
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                 Vorlaq::AppModule::instance().GetModuleInstance(), nullptr);
    if (tooltip_ == nullptr)
        return;
    ::SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
    const struct {
        HWND control;
        const wchar_t* text;
    } tools[] = {
        {scanButton_, L"Start or Stop scanning the deleted files"},
        {restoreButton_, L"Restore selected deleted file(s)"},
        {helpButton_, L"Help"},
        {aboutButton_, L"About Vorlaq Quorret"},
        {filtersEdit_, L"File filters to scan. For example: *.txt;*.log"},
    };
    for (const auto& tool : tools) {
        TOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND;
        info.hwnd = m_hWnd;
        info.uId = reinterpret_cast<UINT_PTR>(tool.control);
        info.lpszText = const_cast<wchar_t*>(tool.text);
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

LRESULT QuorretMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled)
{
    if (Vorlaq::MessageLoop* loop = Vorlaq::AppModule::instance().GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    handled = FALSE;
    return 0;
}

LRESULT QuorretMainDlg::OnScan(WORD, WORD, HWND, BOOL&)
{
    return Guarded([&] {
        ScanOrStop();
        return 0;
    });
}

void QuorretMainDlg::ScanOrStop()
{
    const int selection = static_cast<int>(::SendMessageW(disksCombo_, CB_GETCURSEL, 0, 0));
    const uint32_t pressTime = static_cast<uint32_t>(::GetMessageTime());
    switch (state_.OnScanPressed(selection, disks_.size(), pressTime, ::GetDoubleClickTime())) {
    case MainDlgState::ScanCommand::InvalidSelection:
        LogManager::instance().print(LogLevel::Error, L"Invalid NTFS volume selection.");
        Ask(L"Please select a valid NTFS disk to scan. ", MB_OK);
        return;
    case MainDlgState::ScanCommand::Cancel: {
        LogManager::instance().print(LogLevel::Info, L"Cancel scanning disk: %s", task_->GetVolume());
        task_->Stop();
        state_.CancelRequested(::GetTickCount());
        // What is still queued came after the press; the rows listed so far stay.
        if (handOver_)
            handOver_->TakeAll();
        ShowNewRows();
        ShowScanState();
        return;
    }
    case MainDlgState::ScanCommand::Ignore:
        return;
    case MainDlgState::ScanCommand::StartNew:
        StartScan(disks_[static_cast<size_t>(selection)], pressTime);
        return;
    }
}

std::shared_ptr<Vorlaq::FoundFileChannel> QuorretMainDlg::NewHandOver()
{
    handOver_ = std::make_shared<Vorlaq::FoundFileChannel>();
    handOver_->Hold(ownLoop_);
    return handOver_;
}

void QuorretMainDlg::StartScan(const std::wstring& root, uint32_t pressTime)
{
    list_.DeleteAllItems();
    list_.Invalidate();
    ::SetWindowTextW(countLabel_, L"0");

    // The old worker has ended once its task is gone; what it posted and we have not handled yet
    // belongs to the old scan and must not reach the new list.
    task_.reset();
    Vorlaq::DiscardScanMessages(m_hWnd);
    rowsToShow_ = false;

    task_ = std::make_unique<Vorlaq::FileScanTask>();
    task_->SetNotify(std::make_unique<Vorlaq::WindowScanNotify>(m_hWnd, NewHandOver()));
    source_ = Vorlaq::VolumeSource::FromText(root);
    task_->SetVolume(source_);
    std::wstring filters = WindowText(filtersEdit_);
    Vorlaq::TrimLeft(filters, Vorlaq::WhitespaceChars());
    Vorlaq::TrimRight(filters, Vorlaq::WhitespaceChars());
    task_->SetFilters(filters);
    task_->SetRecoverability(Vorlaq::RecoverabilityMode::Report);

    if (!task_->Start()) {
        LogManager::instance().print(LogLevel::Error, L"Failed to scan volume: %s. ", root);
        Ask(L"Failed to scan this disk. ", MB_OK | MB_ICONINFORMATION);
        return;
    }
    LogManager::instance().print(LogLevel::Info, L"Begin to scan volume: %s. ", root);
    state_.Started(pressTime);
    ShowScanState();
    ::SetTimer(m_hWnd, kProgressTimer, kProgressPeriodMs, nullptr);
}

LRESULT QuorretMainDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (wParam == kRestoreTimer) {
        ShowRestoreProgress();
        return 0;
    }
    if (wParam != kProgressTimer)
        return 0;
    return Guarded([&] {
        ProgressTick();
        return 0;
    });
}

LRESULT QuorretMainDlg::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const int dpi = LOWORD(wParam);
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested)
        SetWindowPos(nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    dpiLayout_.Apply(dpi);
    list_.SetDpi(dpi);
    FitColumnsToList(dpi);
    return 0;
}

void QuorretMainDlg::ProgressTick()
{
    const MainDlgState::TimerStep step =
        state_.OnTimer(task_ != nullptr, task_ ? task_->GetState() : 0, ::GetTickCount());
    switch (step) {
    case MainDlgState::TimerStep::ShowProgress:
        ::ShowWindow(progress_, SW_SHOW);
        ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(static_cast<int>(task_->GetProgress())), 0);
        return;
    case MainDlgState::TimerStep::Wait:
        return;
    case MainDlgState::TimerStep::Stop:
        ::KillTimer(m_hWnd, kProgressTimer);
        HideProgress();
        return;
    case MainDlgState::TimerStep::Failed:
        // Everything is back to idle before the box runs its own message loop.
        ::KillTimer(m_hWnd, kProgressTimer);
        HideProgress();
        ShowScanState();
        LogManager::instance().print(LogLevel::Error, L"Failed to scan volume: %s. ", task_->GetVolume());
        Ask(L"Failed to scan this disk. ", MB_OK | MB_ICONINFORMATION);
        return;
    }
}

LRESULT QuorretMainDlg::OnScanFinished(UINT, WPARAM, LPARAM, BOOL&)
{
    return Guarded([&] {
        ScanEnded();
        return 0;
    });
}

void QuorretMainDlg::ScanEnded()
{
    LogManager::instance().print(LogLevel::Info, L"Scan Finished");
    ::KillTimer(m_hWnd, kProgressTimer);
    HideProgress();
    state_.Finished(::GetTickCount(), task_ ? task_->GetErrorsLogged() : 0);
    if (task_ && task_->GetErrorsLogged() != 0)
        LogManager::instance().print(LogLevel::Info, L"The scan of %s logged %I64u errors.", task_->GetVolume(),
                                     task_->GetErrorsLogged());
    ShowScanState();
    ShowNewRows();
    ShowFoundCount();
}

LRESULT QuorretMainDlg::OnScanFound(UINT, WPARAM, LPARAM, BOOL&)
{
    if (!handOver_)
        return 0;
    // Ours from here on, whatever happens below. Files that were still on their way when the
    // user pressed Stop are not listed.
    Vorlaq::FoundFileChannel::Files files = handOver_->TakeAll();
    if (files.empty() || state_.GetPhase() == MainDlgState::Phase::Stopping)
        return 0;
    return Guarded([&] {
        for (auto& file : files)
            list_.AppendItem(std::move(file));
        rowsToShow_ = true;
        if (handOver_->Empty() || ::GetTickCount() - rowsShownAt_ >= kShowRowsPeriodMs)
            ShowNewRows();
        return 0;
    });
}

LRESULT QuorretMainDlg::OnOwnLoop(UINT message, WPARAM wParam, LPARAM, BOOL& handled)
{
    // Such a loop takes posted messages before input as well: the worker waits until it ends, so
    // that the box or the loop keeps the user's input.
    switch (message) {
    case WM_ENABLE: ownLoop_ = wParam == FALSE; break;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP: ownLoop_ = true; break;
    default: ownLoop_ = !::IsWindowEnabled(m_hWnd); break;
    }
    if (handOver_)
        handOver_->Hold(ownLoop_);
    handled = FALSE;
    return 0;
}

LRESULT QuorretMainDlg::OnAbout(WORD, WORD, HWND, BOOL&)
{
    return Guarded([&] {
        Vorlaq::QuorretAboutDlg about;
        about.DoModal(::GetActiveWindow());
        return 0;
    });
}

LRESULT QuorretMainDlg::OnHelp(WORD, WORD, HWND, BOOL&)
{
    ::ShellExecuteW(m_hWnd, L"open", Vorlaq::kHelpPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

LRESULT QuorretMainDlg::OnRestore(WORD, WORD, HWND, BOOL&)
{
    return Guarded([&] {
        RestoreOrStop();
        return 0;
    });
}

void QuorretMainDlg::RestoreOrStop()
{
    if (restore_) {
        LogManager::instance().print(LogLevel::Info, L"Restore stopped by the user.");
        restore_->Stop();
        ShowRestoreProgress();
        return;
    }
    DialogRestoreUi ui(m_hWnd);
    Vorlaq::RestorePlan plan;
    if (!Vorlaq::PlanRestore(list_.GetSelectedItems(), ui, &plan))
        return;
    restore_ = std::make_unique<Vorlaq::RestoreWorker>(m_hWnd, std::move(plan), source_);
    ::SetWindowTextW(restoreButton_, L"Stop");
    ShowRestoreProgress();
    ::SetTimer(m_hWnd, kRestoreTimer, kRestorePeriodMs, nullptr);
}

void QuorretMainDlg::ShowRestoreProgress()
{
    if (!restore_)
        return;
    const size_t done = restore_->Done();
    const size_t total = restore_->Total();
    ::SetWindowTextW(countLabel_, Vorlaq::FormatWide(restore_->Stopping() ? L"Stopping: %u of %u files restored"
                                                                          : L"Restoring %u of %u files",
                                                     static_cast<unsigned>(done), static_cast<unsigned>(total))
                                      .c_str());
    // The bar is the scan's while one runs.
    if (state_.GetPhase() != MainDlgState::Phase::Scanning && total != 0) {
        ::ShowWindow(progress_, SW_SHOW);
        ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(done * 100 / total), 0);
    }
}

LRESULT QuorretMainDlg::OnRestoreFinished(UINT, WPARAM, LPARAM, BOOL&)
{
    return Guarded([&] {
        if (!restore_)
            return 0;
        ::KillTimer(m_hWnd, kRestoreTimer);
        const std::wstring summary = restore_->TakeSummary();
        restore_.reset();
        ::SetWindowTextW(restoreButton_, L"Restore...");
        if (state_.GetPhase() != MainDlgState::Phase::Scanning)
            HideProgress();
        ShowFoundCount();
        Ask(summary, MB_OK);
        return 0;
    });
}

LRESULT QuorretMainDlg::OnClose(WORD, WORD, HWND, BOOL&)
{
    return Guarded([&] {
        Close();
        return 0;
    });
}

void QuorretMainDlg::Close()
{
    if (state_.MustAskBeforeClose()) {
        if (Ask(L"Are you sure to abort the scanning and exit? ", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
        // The worker may have ended while the question was open.
        task_->Stop();
    }
    DestroyWindow();
    ::PostQuitMessage(IDCANCEL);
}

void QuorretMainDlg::ShowScanState()
{
    ::SetWindowTextW(scanButton_, state_.ButtonText());
    ::EnableWindow(disksCombo_, state_.InputsEnabled());
    ::EnableWindow(filtersEdit_, state_.InputsEnabled());
}

void QuorretMainDlg::HideProgress()
{
    ::ShowWindow(progress_, SW_HIDE);
    ::SendMessageW(progress_, PBM_SETPOS, 0, 0);
}

void QuorretMainDlg::ShowNewRows()
{
    rowsShownAt_ = ::GetTickCount();
    if (!rowsToShow_)
        return;
    rowsToShow_ = false;
    list_.ShowAppendedItems();
    ShowFoundCount();
}

void QuorretMainDlg::ShowFoundCount()
{
    // The label is the restore's progress line while one runs.
    if (restore_)
        return;
    ::SetWindowTextW(countLabel_, state_.CountText(list_.GetItemCount()).c_str());
}

LRESULT QuorretMainDlg::OnListRightClick(int, NMHDR*, BOOL&)
{
    return Guarded([&] {
        ShowListMenu();
        return 0;
    });
}

void QuorretMainDlg::ShowListMenu()
{
    enum : UINT { kCopy = 1, kSaveList = 2 };
    const HMENU menu = ::CreatePopupMenu();
    if (menu == nullptr)
        return;
    std::vector<int> rows;
    const bool selected = list_.GetSelectedRows(rows);
    ::AppendMenuW(menu, MF_STRING | (selected ? 0u : MF_GRAYED), kCopy, L"Copy");
    ::AppendMenuW(menu, MF_STRING | (list_.GetItemCount() > 0 ? 0u : MF_GRAYED), kSaveList, L"Save list...");
    POINT at{};
    ::GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_hWnd, nullptr));
    ::DestroyMenu(menu);
    if (chosen == kCopy)
        list_.CopySelection();
    else if (chosen == kSaveList)
        SaveList();
}

void QuorretMainDlg::SaveList()
{
    Vorlaq::FileSaveDialog chooser;
    if (!chooser.Show(m_hWnd, L"Found files.tsv"))
        return;
    uint32_t error = 0;
    if (!Vorlaq::SaveTextAsUtf8(chooser.Path(), list_.AllRowsText(), &error)) {
        LogManager::instance().print(LogLevel::Error, L"Failed to save the list to %s: %s", chooser.Path(),
                                     Vorlaq::SystemErrorReason(error));
        Ask(L"Failed to save the list: " + Vorlaq::SystemErrorReason(error), MB_OK | MB_ICONINFORMATION);
    }
}

int QuorretMainDlg::Ask(const std::wstring& text, UINT flags)
{
    return ::MessageBoxW(m_hWnd, text.c_str(), kCaption, flags);
}

#pragma once
// The program's one top-level window (template 129): the disk list, the pattern edit, Scan/Stop
// with its progress bar and count, the found-files list, Restore, Help and About. It owns at most
// one scan task, fed back through the registered messages FileScanFound and FileScanFinished,
// and at most one restore worker, whose end comes as FileRestoreFinished.
// Found files come through the scan's channel (FoundFileChannel), whose worker waits while
// a modal box or a move/size or menu loop runs its own message loop; they join the list at once,
// but the list's scroll bars, repaint and the count follow a few times a second (and whenever the
// box runs empty), since each costs far more than the row.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/DialogDpiLayout.h"
#include "app/MainDlgState.h"
#include "app/RestoreWorker.h"
#include "listctrl/FileListCtrl.h"
#include "res/Resource.h"
#include "scan/FoundFileChannel.h"
#include "scan/VolumeSource.h"
#include "scan/FileScanTask.h"
#include "ui/MessageLoop.h"
#include "ui/WindowImpl.h"
#include "app/ScanMessages.h"

class QuorretMainDlg : public Vorlaq::DialogImpl<QuorretMainDlg>,
                       public Vorlaq::MessageFilter,
                       public Vorlaq::IdleHandler {
public:
    enum { IDD = IDD_MAIN };
    static constexpr UINT_PTR kProgressTimer = 1001;
    static constexpr UINT kProgressPeriodMs = 1000;
    static constexpr UINT_PTR kRestoreTimer = 1002;
    static constexpr UINT kRestorePeriodMs = 250;
    // How often the list and the count show the rows that came meanwhile.
    static constexpr DWORD kShowRowsPeriodMs = 150;

    QuorretMainDlg();
    ~QuorretMainDlg() override;

    bool PreTranslateMessage(MSG* msg) override;
    bool OnIdle() override { return false; }

    // An exception that escaped a handler ends the message loop; the run sequence takes it back
    // here and lets it reach the entry's catch (it cannot unwind through the system's frames).
    std::exception_ptr TakeEscapedException();

    // The dialog's state as the user sees it (tests).
    const Vorlaq::MainDlgState& State() const { return state_; }
    const Vorlaq::FileScanTask* Task() const { return task_.get(); }
    const FileListCtrl& List() const { return list_; }
    const std::vector<std::wstring>& Disks() const { return disks_; }

    // Makes the hand-over box of the next scan, which FileScanFound empties (one per scan; the
    // tests and the benchmark feed the dialog through one of their own).
    std::shared_ptr<Vorlaq::FoundFileChannel> NewHandOver();

    QR_BEGIN_MSG_MAP(QuorretMainDlg)
        QR_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        QR_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        QR_MESSAGE_HANDLER(WM_TIMER, OnTimer)
        QR_MESSAGE_HANDLER(WM_DPICHANGED, OnDpiChanged)
        QR_MESSAGE_HANDLER(WM_ENABLE, OnOwnLoop)
        QR_MESSAGE_HANDLER(WM_ENTERSIZEMOVE, OnOwnLoop)
        QR_MESSAGE_HANDLER(WM_EXITSIZEMOVE, OnOwnLoop)
        QR_MESSAGE_HANDLER(WM_ENTERMENULOOP, OnOwnLoop)
        QR_MESSAGE_HANDLER(WM_EXITMENULOOP, OnOwnLoop)
        QR_MESSAGE_HANDLER(Vorlaq::FileScanFinished, OnScanFinished)
        QR_MESSAGE_HANDLER(Vorlaq::FileScanFound, OnScanFound)
        QR_MESSAGE_HANDLER(Vorlaq::FileRestoreFinished, OnRestoreFinished)
        QR_COMMAND_ID_HANDLER(IDC_ABOUT, OnAbout)
        QR_COMMAND_ID_HANDLER(IDC_HELP_PAGE, OnHelp)
        QR_COMMAND_ID_HANDLER(IDC_RESTORE, OnRestore)
        QR_COMMAND_ID_HANDLER(IDC_SCAN, OnScan)
        QR_COMMAND_ID_HANDLER(IDCANCEL, OnClose)
        QR_COMMAND_HANDLER(IDC_DISKS, CBN_SELCHANGE, OnDiskChange)
        QR_NOTIFY_HANDLER(IDC_FILE_LIST, Vorlaq::LN_RCLICK, OnListRightClick)
        QR_REFLECT_NOTIFICATIONS()
    QR_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    // The window moved to a monitor of another DPI: it takes the size the system suggests, and
    // the controls, fonts and the list's pixels follow.
    LRESULT OnDpiChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOwnLoop(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnScanFinished(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnScanFound(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRestoreFinished(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAbout(WORD, WORD, HWND, BOOL&);
    LRESULT OnHelp(WORD, WORD, HWND, BOOL&);
    LRESULT OnRestore(WORD, WORD, HWND, BOOL&);
    LRESULT OnScan(WORD, WORD, HWND, BOOL&);
    LRESULT OnClose(WORD, WORD, HWND, BOOL&);
    LRESULT OnDiskChange(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnListRightClick(int, NMHDR*, BOOL&);

    void Initialise();
    void CentreOnWorkArea();
    // The columns' widths at 96 DPI fit the list there; at a higher DPI the dialog grows with its
    // font, a little less than the widths grow with the DPI, so the widest give way until all
    // show side by side (FitColumnWidths), room kept for the vertical bar as at 96 DPI.
    void FitColumnsToList(int dpi);
    void FillDiskList();
    void CreateToolTips();
    void ScanOrStop();
    void StartScan(const std::wstring& root, uint32_t pressTime);
    void ProgressTick();
    void ScanEnded();
    void Close();
    void ShowScanState();
    void HideProgress();
    void ShowFoundCount();
    void RestoreOrStop();
    void ShowRestoreProgress();
    void ShowNewRows();
    // The list's right-click menu: Copy (the selected rows) and Save list... (all of them).
    void ShowListMenu();
    void SaveList();
    int Ask(const std::wstring& text, UINT flags);

    // Runs a handler's body; an escaping exception closes the window and ends the loop.
    template <typename Body>
    LRESULT Guarded(Body&& body);

    HWND scanButton_ = nullptr;
    HWND restoreButton_ = nullptr;
    HWND helpButton_ = nullptr;
    HWND aboutButton_ = nullptr;
    HWND progress_ = nullptr;
    HWND disksCombo_ = nullptr;
    FileListCtrl list_;
    HWND filtersEdit_ = nullptr;
    HWND countLabel_ = nullptr;
    HWND tooltip_ = nullptr;
    std::unique_ptr<Vorlaq::FileScanTask> task_;
    // The restore running off the window's thread; the Restore button stops it meanwhile.
    std::unique_ptr<Vorlaq::RestoreWorker> restore_;
    // The scanned volume, opened once: the scan and the restores of its files read through it.
    Vorlaq::VolumeSource source_;
    std::shared_ptr<Vorlaq::FoundFileChannel> handOver_;  // the last scan's, shared with its worker
    bool ownLoop_ = false;     // a modal box or a move/size or menu loop is running
    bool rowsToShow_ = false;  // rows were added since the list last showed them
    DWORD rowsShownAt_ = 0;
    std::vector<std::wstring> disks_;
    Vorlaq::DialogDpiLayout dpiLayout_;

    Vorlaq::MainDlgState state_;
    std::exception_ptr escaped_;
};

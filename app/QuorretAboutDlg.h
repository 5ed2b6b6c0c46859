#pragma once
// The about box (template 100): name, version, the maker's notice and a link to the maker's home
// page. Modal; OK, Escape and the close box end it.
#include <windows.h>

#include "app/HyperLink.h"
#include "res/Resource.h"
#include "ui/WindowImpl.h"

namespace Vorlaq {

class QuorretAboutDlg : public DialogImpl<QuorretAboutDlg> {
public:
    enum { IDD = IDD_ABOUT };

    QR_BEGIN_MSG_MAP(QuorretAboutDlg)
        QR_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        QR_COMMAND_ID_HANDLER(IDOK, OnClose)
        QR_COMMAND_ID_HANDLER(IDCANCEL, OnClose)
    QR_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(WORD, WORD id, HWND, BOOL&);

    HyperLink link_;
};

// The application icon at the system's big and small sizes, set on the window.
void SetWindowIcons(HWND window);

}  // namespace Vorlaq

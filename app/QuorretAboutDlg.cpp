#include "app/QuorretAboutDlg.h"

#include "app/WebLinks.h"

namespace Vorlaq {

void SetWindowIcons(HWND window)
{
    const HINSTANCE instance = AppModule::instance().GetResourceInstance();
    const auto big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORRET), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                     LR_SHARED));
    const auto small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORRET), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

LRESULT QuorretAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    link_.AttachLabel(GetDlgItem(IDC_HOME_LINK), kHomePageUrl);
    SetWindowIcons(m_hWnd);

    // Centre over the owner.
    RECT box{}, owner{};
    ::GetWindowRect(m_hWnd, &box);
    const HWND parent = ::GetWindow(m_hWnd, GW_OWNER);
    if (parent == nullptr || !::GetWindowRect(parent, &owner))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    SetWindowPos(nullptr, owner.left + (owner.right - owner.left - width) / 2,
                 owner.top + (owner.bottom - owner.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

LRESULT QuorretAboutDlg::OnClose(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(id);
    return 0;
}

}  // namespace Vorlaq

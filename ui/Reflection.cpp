#include "ui/Reflection.h"

#include "ui/MessageMap.h"

namespace Vorlaq {

HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam);  // null for menus and accelerators
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            return reinterpret_cast<HWND>(lParam);
        default:
            return ::GetDlgItem(parent, HIWORD(wParam));
        }
    case WM_DRAWITEM:
        return wParam && lParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        return wParam && lParam
                   ? ::GetDlgItem(parent, static_cast<int>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID))
                   : nullptr;
    case WM_COMPAREITEM:
        return wParam && lParam ? reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return wParam && lParam ? reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    default:
        return nullptr;
    }
}

LRESULT ReflectNotifications(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    const HWND child = ReflectionTarget(parent, msg, wParam, lParam);
    if (child == nullptr || !::IsWindow(child)) {
        handled = FALSE;
        return 0;
    }
    return ::SendMessageW(child, kReflectedBase + msg, wParam, lParam);
}

bool DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case kReflectedBase + WM_COMMAND:
    case kReflectedBase + WM_NOTIFY:
    case kReflectedBase + WM_PARENTNOTIFY:
    case kReflectedBase + WM_DRAWITEM:
    case kReflectedBase + WM_MEASUREITEM:
    case kReflectedBase + WM_COMPAREITEM:
    case kReflectedBase + WM_DELETEITEM:
    case kReflectedBase + WM_VKEYTOITEM:
    case kReflectedBase + WM_CHARTOITEM:
    case kReflectedBase + WM_HSCROLL:
    case kReflectedBase + WM_VSCROLL:
    case kReflectedBase + WM_CTLCOLORBTN:
    case kReflectedBase + WM_CTLCOLORDLG:
    case kReflectedBase + WM_CTLCOLOREDIT:
    case kReflectedBase + WM_CTLCOLORLISTBOX:
    case kReflectedBase + WM_CTLCOLORMSGBOX:
    case kReflectedBase + WM_CTLCOLORSCROLLBAR:
    case kReflectedBase + WM_CTLCOLORSTATIC:
        result = ::DefWindowProcW(hwnd, msg - kReflectedBase, wParam, lParam);
        return true;
    default:
        return false;
    }
}

}  // namespace Vorlaq

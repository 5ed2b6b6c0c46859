#include "ui/WindowImpl.h"

namespace Vorlaq {

namespace {

// The property that ties a window to its object; a property leaves GWLP_USERDATA to the control.
constexpr const wchar_t* kObjectProperty = L"Vorlaq.WindowObject";

// Messages whose dialog-procedure result is the value itself, not DWLP_MSGRESULT.
bool ReturnsValueDirectly(UINT msg)
{
    switch (msg) {
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

}  // namespace

thread_local WindowImplBase* WindowImplBase::creating_ = nullptr;

WindowImplBase::~WindowImplBase()
{
    // An object that dies before its window must not be called again by the window.
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandle(m_hWnd) == this)
        Detach();
}

WindowImplBase* WindowImplBase::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<WindowImplBase*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

bool WindowImplBase::Attach(HWND hwnd, WNDPROC proc)
{
    if (hwnd == nullptr || FromHandle(hwnd) != nullptr)
        return false;
    if (!::SetPropW(hwnd, kObjectProperty, this))
        return false;
    m_hWnd = hwnd;
    destroyed_ = false;
    superProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    return true;
}

void WindowImplBase::Detach()
{
    if (m_hWnd == nullptr)
        return;
    if (superProc_ != nullptr)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
    ::RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    superProc_ = nullptr;
}

LRESULT WindowImplBase::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (superProc_ != nullptr)
        return ::CallWindowProcW(superProc_, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT WindowImplBase::DefWindowProc()
{
    return currentMsg_ ? DefWindowProc(currentMsg_->message, currentMsg_->wParam, currentMsg_->lParam) : 0;
}

LRESULT WindowImplBase::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled)
{
    MSG current{hwnd, msg, wParam, lParam, 0, {0, 0}};
    const MSG* outer = currentMsg_;
    currentMsg_ = &current;
    ++depth_;
    LRESULT result = 0;
    *handled = ProcessWindowMessage(hwnd, msg, wParam, lParam, result, 0);
    if (msg == WM_NCDESTROY) {
        if (!*handled)
            result = DefWindowProc(msg, wParam, lParam);
        *handled = true;  // default handling done here, before we let go of the window
        destroyed_ = true;
    }
    --depth_;
    currentMsg_ = outer;
    // The window went away inside this message: let go of it once the outermost call returns.
    if (destroyed_ && depth_ == 0) {
        destroyed_ = false;
        Detach();
        OnFinalMessage(hwnd);
    }
    return result;
}

bool WindowImplRoot::SubclassWindow(HWND hwnd)
{
    return Attach(hwnd, WindowProc);
}

HWND WindowImplRoot::UnsubclassWindow()
{
    const HWND hwnd = m_hWnd;
    Detach();
    return hwnd;
}

HWND WindowImplRoot::CreateFromAtom(ATOM atom, HWND parent, const RECT* rect, const wchar_t* name,
                                    DWORD style, DWORD exStyle, UINT id, void* param)
{
    RECT rc = rect ? *rect : RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    const bool useDefault = rect == nullptr;
    creating_ = this;
    const HWND hwnd = ::CreateWindowExW(
        exStyle, MAKEINTATOM(atom), name, style, rc.left, rc.top,
        useDefault ? CW_USEDEFAULT : rc.right - rc.left, useDefault ? CW_USEDEFAULT : rc.bottom - rc.top,
        parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
        AppModule::instance().GetModuleInstance(), param);
    creating_ = nullptr;
    return hwnd;
}

LRESULT CALLBACK WindowImplRoot::StartWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowImplBase* self = creating_;
    creating_ = nullptr;
    if (self == nullptr || !static_cast<WindowImplRoot*>(self)->Attach(hwnd, WindowProc))
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    // Our own class: default handling is the system's, not this start procedure.
    static_cast<WindowImplRoot*>(self)->superProc_ = nullptr;
    return WindowProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK WindowImplRoot::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowImplBase* self = FromHandle(hwnd);
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    bool handled = false;
    const LRESULT result = static_cast<WindowImplRoot*>(self)->Dispatch(hwnd, msg, wParam, lParam, &handled);
    if (handled)
        return result;
    return self->DefWindowProc(msg, wParam, lParam);
}

HWND DialogImplRoot::CreateFromTemplate(HINSTANCE instance, const wchar_t* name, HWND parent, LPARAM init)
{
    creating_ = this;
    const HWND hwnd = ::CreateDialogParamW(instance, name, parent, StartDialogProc, init);
    creating_ = nullptr;
    return hwnd;
}

HWND DialogImplRoot::CreateFromMemory(const DLGTEMPLATE* templ, HWND parent, LPARAM init)
{
    creating_ = this;
    const HWND hwnd = ::CreateDialogIndirectParamW(AppModule::instance().GetResourceInstance(), templ,
                                                   parent, StartDialogProc, init);
    creating_ = nullptr;
    return hwnd;
}

INT_PTR DialogImplRoot::ModalFromTemplate(HINSTANCE instance, const wchar_t* name, HWND parent, LPARAM init)
{
    creating_ = this;
    const INT_PTR result = ::DialogBoxParamW(instance, name, parent, StartDialogProc, init);
    creating_ = nullptr;
    return result;
}

INT_PTR CALLBACK DialogImplRoot::StartDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowImplBase* self = creating_;
    creating_ = nullptr;
    if (self == nullptr)
        return FALSE;
    // The dialog manager owns the window procedure; we hook its dialog procedure instead.
    if (!::SetPropW(hwnd, kObjectProperty, self))
        return FALSE;
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(DialogProc));
    return DialogProc(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK DialogImplRoot::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<DialogImplRoot*>(FromHandle(hwnd));
    if (self == nullptr)
        return FALSE;
    bool handled = false;
    const LRESULT result = self->Dispatch(hwnd, msg, wParam, lParam, &handled);
    if (!handled || msg == WM_NCDESTROY)
        return FALSE;
    if (ReturnsValueDirectly(msg))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace Vorlaq

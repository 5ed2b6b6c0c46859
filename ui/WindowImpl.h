#pragma once
// Window and dialog class templates over the derived class. The window procedure finds the C++
// object of a window (kept as a window property), asks its message map, and falls back to the
// class's previous procedure (subclassed controls) or the default one.
#include <windows.h>

#include "ui/MessageMap.h"
#include "ui/Window.h"
#include "ui/WindowClass.h"

namespace Vorlaq {

class WindowImplBase : public Window, public MessageMap {
public:
    WindowImplBase() = default;
    WindowImplBase(const WindowImplBase&) = delete;
    WindowImplBase& operator=(const WindowImplBase&) = delete;
    ~WindowImplBase() override;

    // The object behind a window made or subclassed by this framework, else null.
    static WindowImplBase* FromHandle(HWND hwnd);

    // The message being handled right now (inside a handler), else null.
    const MSG* GetCurrentMessage() const { return currentMsg_; }

    // Default handling: the subclassed control's own procedure, or the system's.
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc();

protected:
    // Called after the window's last message (WM_NCDESTROY); the handle is already cleared.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

    // Takes the procedure of the window over; false when the window is already ours.
    bool Attach(HWND hwnd, WNDPROC proc);
    void Detach();
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);

    static thread_local WindowImplBase* creating_;
    WNDPROC superProc_ = nullptr;

private:
    const MSG* currentMsg_ = nullptr;
    int depth_ = 0;
    bool destroyed_ = false;
};

class WindowImplRoot : public WindowImplBase {
public:
    // Makes an existing window (a dialog's control) run through this object's message map.
    bool SubclassWindow(HWND hwnd);
    // Gives the window its own procedure back; returns its handle.
    HWND UnsubclassWindow();

protected:
    HWND CreateFromAtom(ATOM atom, HWND parent, const RECT* rect, const wchar_t* name, DWORD style,
                        DWORD exStyle, UINT id, void* param);
    static LRESULT CALLBACK StartWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

template <class T>
class WindowImpl : public WindowImplRoot {
public:
    static WindowClassInfo& GetWndClassInfo()
    {
        static WindowClassInfo info;
        return info;
    }

    HWND Create(HWND parent, const RECT* rect = nullptr, const wchar_t* name = nullptr,
                DWORD style = WS_CHILD | WS_VISIBLE, DWORD exStyle = 0, UINT id = 0,
                void* param = nullptr)
    {
        const ATOM atom = T::GetWndClassInfo().Register(StartWindowProc);
        if (atom == 0)
            return nullptr;
        return CreateFromAtom(atom, parent, rect, name, style, exStyle, id, param);
    }
};

class DialogImplRoot : public WindowImplBase {
public:
    LRESULT DefWindowProc(UINT, WPARAM, LPARAM) override { return FALSE; }
    // Ends a modal dialog with the given result.
    bool EndDialog(int result) { return ::EndDialog(m_hWnd, result) != FALSE; }

protected:
    HWND CreateFromTemplate(HINSTANCE instance, const wchar_t* name, HWND parent, LPARAM init);
    HWND CreateFromMemory(const DLGTEMPLATE* templ, HWND parent, LPARAM init);
    INT_PTR ModalFromTemplate(HINSTANCE instance, const wchar_t* name, HWND parent, LPARAM init);
    static INT_PTR CALLBACK StartDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// T names its template: enum { IDD = 129 };
template <class T>
class DialogImpl : public DialogImplRoot {
public:
    HWND Create(HWND parent, LPARAM init = 0);
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM init = 0);
    // A modeless dialog from a template in memory (tests, built-in boxes).
    HWND CreateIndirect(const DLGTEMPLATE* templ, HWND parent, LPARAM init = 0)
    {
        return CreateFromMemory(templ, parent, init);
    }
};

}  // namespace Vorlaq

#include "ui/AppModule.h"

template <class T>
HWND Vorlaq::DialogImpl<T>::Create(HWND parent, LPARAM init)
{
    return CreateFromTemplate(AppModule::instance().GetResourceInstance(), MAKEINTRESOURCEW(T::IDD),
                              parent, init);
}

template <class T>
INT_PTR Vorlaq::DialogImpl<T>::DoModal(HWND parent, LPARAM init)
{
    return ModalFromTemplate(AppModule::instance().GetResourceInstance(), MAKEINTRESOURCEW(T::IDD),
                             parent, init);
}

#pragma once
// Window-class registration. A class is registered once per process under its name; a class
// without a name gets one made from the address of its description.
#include <windows.h>

#include <string>

namespace Vorlaq {

struct WindowClassInfo {
    const wchar_t* name = nullptr;    // null: a private name is made up
    UINT style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    const wchar_t* cursor = IDC_ARROW;  // a system cursor id
    ATOM atom = 0;
    std::wstring madeName;

    // Registers the class with the given window procedure on first use; 0 on failure.
    ATOM Register(WNDPROC proc);
};

// Registers a plain class whose windows run the default procedure until something subclasses
// them (a custom control in a dialog template). True when the class exists afterwards.
bool RegisterPlainWindowClass(const wchar_t* name, UINT style, HBRUSH background, const wchar_t* cursor);

}  // namespace Vorlaq

// Declares the class description a window template registers before creating its window.
#define QR_DECLARE_WND_CLASS_EX(className, classStyle, backgroundColor)                            \
    static ::Vorlaq::WindowClassInfo& GetWndClassInfo()                                            \
    {                                                                                              \
        static ::Vorlaq::WindowClassInfo info{className, classStyle,                               \
                                              reinterpret_cast<HBRUSH>((backgroundColor) + 1),   \
                                              IDC_ARROW, 0, {}};                                  \
        return info;                                                                               \
    }

#define QR_DECLARE_WND_CLASS(className)                                                            \
    QR_DECLARE_WND_CLASS_EX(className, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)

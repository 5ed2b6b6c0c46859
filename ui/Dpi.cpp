#include "ui/Dpi.h"

namespace Vorlaq {

namespace {

// A user32 function that this system may not have, or null.
template <typename Function>
Function User32Function(const char* name)
{
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const FARPROC proc = user32 ? ::GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

int DeviceDpi(HWND window)
{
    const HDC dc = ::GetDC(window);
    if (dc == nullptr)
        return kBaseDpi;
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(window, dc);
    return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const GetDpiForWindowFn getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    return DeviceDpi(window);
}

int SystemDpi()
{
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const GetDpiForSystemFn getDpiForSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem) {
        if (const UINT dpi = getDpiForSystem())
            return static_cast<int>(dpi);
    }
    return DeviceDpi(nullptr);
}

bool MessageFontForDpi(int dpi, LOGFONTW* font)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    *font = metrics.lfMessageFont;
    font->lfHeight = ::MulDiv(font->lfHeight, dpi, SystemDpi());
    return true;
}

void KeepDialogLayoutOnDpiChange(HWND dialog)
{
    // DDC_DISABLE_ALL of the dialog DPI change behaviours.
    constexpr int kDisableAll = 1;
    using SetBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    static const SetBehaviorFn setBehavior = User32Function<SetBehaviorFn>("SetDialogDpiChangeBehavior");
    if (setBehavior)
        setBehavior(dialog, kDisableAll, kDisableAll);
}

}  // namespace Vorlaq

#include "ui/WindowClass.h"

#include <cwchar>
#include <mutex>

#include "ui/AppModule.h"

namespace Vorlaq {

ATOM WindowClassInfo::Register(WNDPROC proc)
{
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (atom != 0)
        return atom;
    const HINSTANCE instance = AppModule::instance().GetModuleInstance();
    const wchar_t* className = name;
    if (className == nullptr) {
        wchar_t made[64];
        std::swprintf(made, 64, L"Vorlaq:%p", static_cast<void*>(this));
        madeName = made;
        className = madeName.c_str();
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = cursor ? ::LoadCursorW(nullptr, cursor) : nullptr;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    atom = ::RegisterClassExW(&wc);
    if (atom == 0) {
        // Someone registered it already (a second description of the same name): use theirs.
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof(existing);
        atom = static_cast<ATOM>(::GetClassInfoExW(instance, className, &existing));
    }
    return atom;
}

bool RegisterPlainWindowClass(const wchar_t* name, UINT style, HBRUSH background, const wchar_t* cursor)
{
    const HINSTANCE instance = AppModule::instance().GetModuleInstance();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(instance, name, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = cursor ? ::LoadCursorW(nullptr, cursor) : nullptr;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

}  // namespace Vorlaq

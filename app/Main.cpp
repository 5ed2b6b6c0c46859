// Quorret.exe: finds deleted files on NTFS volumes and restores them.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "app/StartUp.h"
#include "ui/AppModule.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int showCommand)
{
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    Vorlaq::AppModule::instance().Init(instance);

    int exitCode = 0;
    try {
        exitCode = Vorlaq::RunApplication(showCommand);
    } catch (const std::exception&) {
        ::MessageBoxW(nullptr, L"Sorry. Some errors occur and this application will be closed. Please relaunch it. ",
                      Vorlaq::kAppTitle, MB_ICONERROR);
        exitCode = 0;
    }

    Vorlaq::AppModule::instance().Term();
    ::CoUninitialize();
    return exitCode;
}

#include "app/StartUp.h"

#include <windows.h>

#include <memory>

#include "app/AppFolders.h"
#include "app/LogFileRoll.h"
#include "app/QuorretMainDlg.h"
#include "app/SingleInstance.h"
#include "base/LogManager.h"
#include "scan/PathNames.h"
#include "ui/AppModule.h"
#include "ui/MessageLoop.h"

namespace Vorlaq {

namespace {

void RegisterLogSinks(const std::wstring& logPath)
{
    LogManager& log = LogManager::instance();
    log.addWriter(new OutputLogWriter(1));
    log.addWriter(new DebugOutputLogWriter(2));
    log.addWriter(new FileLogWriter(2, logPath));
}

// The loop is registered for this thread while it lives.
class LoopRegistration {
public:
    explicit LoopRegistration(MessageLoop* loop) { AppModule::instance().AddMessageLoop(loop); }
    ~LoopRegistration() { AppModule::instance().RemoveMessageLoop(); }
    LoopRegistration(const LoopRegistration&) = delete;
    LoopRegistration& operator=(const LoopRegistration&) = delete;
};

}  // namespace

int RunApplication(int showCommand)
{
    MessageLoop loop;
    int exitCode = kExitNoWindow;
    std::unique_ptr<QuorretMainDlg> dialog;
    {
        LoopRegistration registration(&loop);
        PrepareTempFolder();

        SingleInstance instance(kInstanceMutexName);
        if (instance.isAnotherRunning()) {
            instance.bringToFront(::FindWindowW(nullptr, kAppTitle));
            return kExitAnotherInstance;
        }

        const std::wstring logPath = JoinPath(PrepareAppFolder(), kLogFileName);
        RollLogFile(logPath);
        RegisterLogSinks(logPath);

        dialog = std::make_unique<QuorretMainDlg>();
        if (dialog->Create(nullptr) == nullptr)
            return kExitNoWindow;
        dialog->ShowWindow(showCommand);
        exitCode = loop.Run();
    }
    // The loop is unregistered; now the dialog object goes (its task with it).
    std::exception_ptr escaped = dialog->TakeEscapedException();
    dialog.reset();
    if (escaped)
        std::rethrow_exception(escaped);
    return exitCode;
}

}  // namespace Vorlaq

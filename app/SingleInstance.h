#pragma once
// One copy of the program at a time: the first copy owns a named mutex for its whole life; a
// later copy finds it taken, brings the first copy's window forward and leaves.
#include <windows.h>

#include <string>

namespace Vorlaq {

class SingleInstance {
public:
    explicit SingleInstance(std::wstring name) : name_(std::move(name)) {}
    virtual ~SingleInstance() = default;

    // Creates the mutex owned; true when it existed already (or could not be made). The first
    // copy's handle stays open until the process ends.
    bool isAnotherRunning();
    // Restores the window if minimised and makes it the foreground window; false when the handle
    // is not a window.
    bool bringToFront(HWND window);

private:
    std::wstring name_;
};

}  // namespace Vorlaq

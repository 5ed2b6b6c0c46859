#pragma once
// Dots per inch of a window. The per-monitor functions came with later systems (and are missing
// from older SDK headers), so they are looked up at run time; without them every window is drawn
// at the system's DPI, which the screen's device context tells.
#include <windows.h>

#include "ui/DpiScale.h"

namespace Vorlaq {

// The DPI the window is drawn at: its monitor's for a per-monitor aware program, else the system's.
int WindowDpi(HWND window);
// The DPI the system metrics (the message font among them) are given for.
int SystemDpi();
// The system's message font, made for `dpi` (the system gives it for its own DPI).
bool MessageFontForDpi(int dpi, LOGFONTW* font);
// A dialog whose own WM_DPICHANGED handler lays it out: the system's automatic re-layout (which
// only newer systems have) is turned off, so the controls are not moved twice.
void KeepDialogLayoutOnDpiChange(HWND dialog);

}  // namespace Vorlaq

#pragma once
// Reflection of child notifications: a parent hands WM_COMMAND, WM_NOTIFY and the other control
// messages back to the control they concern with the message number raised by kReflectedBase,
// so a control can handle its own notifications.
#include <windows.h>

namespace Vorlaq {

// The child window that a control message concerns, or null when it concerns none (a menu
// command, an owner-drawn menu item, a scroll bar of the window itself).
HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam);

// Sends the message to its child with the raised number. Clears `handled` when the message is
// not a control message or has no child to go to.
LRESULT ReflectNotifications(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);

// For a reflected message: the default handling of the original message. False otherwise.
bool DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace Vorlaq

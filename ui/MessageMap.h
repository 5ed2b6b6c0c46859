#pragma once
// Message maps: a class lists the messages it handles between QR_BEGIN_MSG_MAP and
// QR_END_MSG_MAP; the window procedure asks the map first and falls back to default handling
// when no entry took the message. An entry may decline a message by clearing `handled`, and a
// map may chain to a base class's map or to an alternate map of its own.
//
// Handler signatures:
//   message:      LRESULT F(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled)
//   command:      LRESULT F(WORD notifyCode, WORD id, HWND control, BOOL& handled)
//   notification: LRESULT F(int idCtrl, NMHDR* header, BOOL& handled)
#include <windows.h>

namespace Vorlaq {

// Child notifications that a parent sends back to the child raise the message number by this.
constexpr UINT kReflectedBase = 0x2000;
constexpr UINT kReflectedCommand = kReflectedBase + WM_COMMAND;
constexpr UINT kReflectedNotify = kReflectedBase + WM_NOTIFY;
constexpr UINT kReflectedParentNotify = kReflectedBase + WM_PARENTNOTIFY;
constexpr UINT kReflectedDrawItem = kReflectedBase + WM_DRAWITEM;
constexpr UINT kReflectedMeasureItem = kReflectedBase + WM_MEASUREITEM;
constexpr UINT kReflectedHScroll = kReflectedBase + WM_HSCROLL;
constexpr UINT kReflectedVScroll = kReflectedBase + WM_VSCROLL;
constexpr UINT kReflectedCtlColorEdit = kReflectedBase + WM_CTLCOLOREDIT;

// The interface the window procedure talks to.
class MessageMap {
public:
    virtual ~MessageMap() = default;
    virtual bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD mapId = 0) = 0;
};

}  // namespace Vorlaq

#define QR_BEGIN_MSG_MAP(theClass)                                                                 \
public:                                                                                            \
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,                  \
                              LRESULT& lResult, DWORD mapId = 0)                                   \
    {                                                                                              \
        BOOL bHandled = TRUE;                                                                      \
        (void)hWnd;                                                                                \
        (void)bHandled;                                                                            \
        switch (mapId) {                                                                           \
        case 0:

#define QR_ALT_MSG_MAP(id)                                                                         \
        break;                                                                                     \
        case id:

#define QR_MESSAGE_HANDLER(msg, func)                                                              \
        if (uMsg == (msg)) {                                                                       \
            bHandled = TRUE;                                                                       \
            lResult = func(uMsg, wParam, lParam, bHandled);                                        \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_MESSAGE_RANGE_HANDLER(first, last, func)                                                \
        if (uMsg >= (first) && uMsg <= (last)) {                                                   \
            bHandled = TRUE;                                                                       \
            lResult = func(uMsg, wParam, lParam, bHandled);                                        \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_COMMAND_HANDLER(id, code, func)                                                         \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {            \
            bHandled = TRUE;                                                                       \
            lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),         \
                           bHandled);                                                              \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_COMMAND_ID_HANDLER(id, func)                                                            \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                        \
            bHandled = TRUE;                                                                       \
            lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),         \
                           bHandled);                                                              \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_NOTIFY_HANDLER(id, cd, func)                                                            \
        if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == (UINT_PTR)(id)        \
            && reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(cd)) {                             \
            bHandled = TRUE;                                                                       \
            lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);  \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_NOTIFY_CODE_HANDLER(cd, func)                                                           \
        if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(cd)) {           \
            bHandled = TRUE;                                                                       \
            lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);  \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

// The same two, for notifications a parent reflected back to this control.
#define QR_REFLECTED_COMMAND_CODE_HANDLER(code, func)                                              \
        if (uMsg == ::Vorlaq::kReflectedCommand && HIWORD(wParam) == (code)) {                     \
            bHandled = TRUE;                                                                       \
            lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),         \
                           bHandled);                                                              \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_REFLECTED_NOTIFY_CODE_HANDLER(cd, func)                                                 \
        if (uMsg == ::Vorlaq::kReflectedNotify                                                     \
            && reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(cd)) {                             \
            bHandled = TRUE;                                                                       \
            lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);  \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

#define QR_CHAIN_MSG_MAP(theChainClass)                                                            \
        if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))              \
            return true;

#define QR_CHAIN_MSG_MAP_ALT(theChainClass, id)                                                    \
        if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, id))          \
            return true;

// Sends the child notifications of the message back to the child they concern.
#define QR_REFLECT_NOTIFICATIONS()                                                                 \
        {                                                                                          \
            bHandled = TRUE;                                                                       \
            lResult = ::Vorlaq::ReflectNotifications(hWnd, uMsg, wParam, lParam, bHandled);        \
            if (bHandled)                                                                          \
                return true;                                                                       \
        }

// A reflected notification that this control's map did not take gets the default handling of
// the original message.
#define QR_DEFAULT_REFLECTION_HANDLER()                                                            \
        if (::Vorlaq::DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult))              \
            return true;

#define QR_END_MSG_MAP()                                                                           \
        break;                                                                                     \
        default:                                                                                   \
            break;                                                                                 \
        }                                                                                          \
        return false;                                                                              \
    }

#include "ui/Reflection.h"

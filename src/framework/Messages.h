// The window layer's own notifications. They travel as window messages in
// the application range, so a control's WndProc handles them like any other.
#pragma once

#include <windows.h>

constexpr UINT CM_BASE = 0xB000;
// A form offers a dialog key (Tab, Enter, Escape) to its controls: wParam the
// virtual key, lParam the key data of WM_KEYDOWN. Answer 1 to consume it.
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
// Every control of a form hears that a control got the focus; lParam is
// that TWinControl*.
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
// The mouse pointer entered or left the control (lParam: the control).
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;

static_assert(CM_DIALOGKEY == 0xB005 && CM_FOCUSCHANGED == 0xB007 &&
                  CM_MOUSEENTER == 0xB013 && CM_MOUSELEAVE == 0xB014,
              "the notification numbers are fixed");

// Shift keys held with a key: from the thread's key state as of the message
// and the Alt bit of the key data.
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = unsigned;
TShiftState KeyDataToShiftState(LPARAM keyData);

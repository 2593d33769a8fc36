// What screen readers are told of a control. A control with a role of its
// own answers WM_GETOBJECT for its client object with an object that takes
// everything from the system's standard object of its window but the role,
// the name and the default action. oleacc is loaded with the first question,
// so a run that no reader looks at never loads it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Messages.h"

// Posted by a reader's "do default action": the control clicks itself once
// the reader's call has returned, as a click would.
constexpr UINT CM_DEFAULTACTION = CM_BASE + 0x100;
// Posted by TWinControl::Announce: the news goes out from the message loop,
// once the window is on screen.
constexpr UINT CM_ANNOUNCE = CM_BASE + 0x101;

// The answer to WM_GETOBJECT for the control whose window is `hwnd`; 0 when
// it is not the client object that is asked for or no object can be made,
// and the default handling should answer.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam);

// A caption as read out: "&&" is one ampersand, a single one only marks the
// key letter and is dropped.
std::string WithoutMnemonics(const std::string& caption);

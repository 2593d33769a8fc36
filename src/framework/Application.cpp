#include "framework/Application.h"

#include <stdexcept>
#include <string>

#include "framework/Form.h"
#include "framework/StartupMarks.h"
#include "framework/SystemDll.h"

namespace {
TApplication theApplication;
}

TApplication* Application = &theApplication;

void TApplication::Initialize() {
  terminated_ = false;
  initialized_ = true;
}

HWND TApplication::Handle() {
  // Made with the first form window: a run that shows no window (/postins,
  // /auto) never pays for it.
  if (handle_ || !initialized_) return handle_;
  // No control of this framework takes typed text, so the input method is of
  // no use to the program's windows. Switched off before the first of them,
  // it is not set up at the first focus either, which under Wine cost about
  // a hundredth of a second of every start (COM included).
  late::ImmDisableIME(static_cast<DWORD>(-1));
  static const char kClass[] = "TApplication";
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TApplication::WndProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hIcon = ::LoadIconA(wc.hInstance, "MAINICON");
  wc.lpszClassName = kClass;
  if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("Cannot register window class TApplication");
  // No size: only its taskbar button and its system menu are ever seen.
  handle_ = ::CreateWindowExA(0, kClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              ::GetSystemMetrics(SM_CXSCREEN) / 2,
                              ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (!handle_)
    throw std::runtime_error("Cannot create the application window (error " +
                             std::to_string(::GetLastError()) + ")");
  return handle_;
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (handle_) ::SetWindowTextA(handle_, title_.c_str());
}

void TApplication::Minimize() {
  if (!handle_ || ::IsIconic(handle_)) return;
  if (mainForm_ && mainForm_->HandleAllocated()) ::ShowWindow(mainForm_->Handle(), SW_HIDE);
  ::ShowWindow(handle_, SW_MINIMIZE);
}

void TApplication::Restore() {
  if (!handle_ || !::IsIconic(handle_)) return;
  ::ShowWindow(handle_, SW_RESTORE);
  if (mainForm_ && mainForm_->Visible() && mainForm_->HandleAllocated()) {
    ::ShowWindow(mainForm_->Handle(), SW_SHOW);
    ::SetForegroundWindow(mainForm_->Handle());
  }
}

LRESULT CALLBACK TApplication::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TApplication& app = *Application;
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          app.Minimize();
          return 0;
        case SC_RESTORE:
          app.Restore();
          return 0;
      }
      break;
    case WM_CLOSE:
      // Closing the taskbar button closes the main form.
      if (app.mainForm_) app.mainForm_->Close();
      return 0;
    case WM_ACTIVATE:
      // Activated from the taskbar: the main form takes over.
      if (LOWORD(wParam) != WA_INACTIVE && !::IsIconic(hwnd) && app.mainForm_ &&
          app.mainForm_->HandleAllocated() && ::IsWindowVisible(app.mainForm_->Handle())) {
        ::SetActiveWindow(app.mainForm_->Handle());
        return 0;
      }
      break;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT)
    terminated_ = true;
  else
    HandleMessage(msg);
  return true;
}

void TApplication::HandleMessage(MSG& msg) {
  // Keyboard navigation belongs to the form the message's window sits on.
  TForm* form = msg.hwnd ? dynamic_cast<TForm*>(TWinControl::FromHandle(
                               ::GetAncestor(msg.hwnd, GA_ROOT)))
                         : nullptr;
  if (form) {
    try {
      if (form->PreProcessMessage(msg)) return;
    } catch (const std::exception& e) {
      // As if it had come from the window procedure that the key was for.
      HandleException(e);
      return;
    }
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Run() {
  if (mainForm_) {
    if (ShowMainForm) {
      // The taskbar button belongs to the application window.
      ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
      mainForm_->ShowForm();
      StartupMark("painted");
    }
    MSG msg;
    while (!terminated_) {
      try {
        if (!ProcessMessage(msg)) ::WaitMessage();
      } catch (const std::exception& e) {
        HandleException(e);
      }
    }
    TForm* form = mainForm_;
    mainForm_ = nullptr;
    delete form;
  }
}

void TApplication::Terminate() { ::PostQuitMessage(0); }

void TApplication::HandleException(const std::exception& e) { ShowException(e); }

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  if (MessageSink) return MessageSink(text);
  ::MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void TApplication::MessageBox(const std::string& text) {
  if (MessageSink) return MessageSink(text);
  ::MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_TASKMODAL);
}

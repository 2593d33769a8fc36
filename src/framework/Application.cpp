#include "framework/Application.h"

#include "framework/Form.h"

namespace {
TApplication theApplication;
}

TApplication* Application = &theApplication;

void TApplication::Initialize() { terminated_ = false; }

bool TApplication::ProcessMessage(MSG& msg) {
  if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // Keyboard navigation belongs to the form the message's window sits on.
  TForm* form = msg.hwnd ? dynamic_cast<TForm*>(TWinControl::FromHandle(
                               ::GetAncestor(msg.hwnd, GA_ROOT)))
                         : nullptr;
  if (form) {
    try {
      if (form->PreProcessMessage(msg)) return true;
    } catch (const std::exception& e) {
      // As if it had come from the window procedure that the key was for.
      HandleException(e);
      return true;
    }
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Run() {
  if (mainForm_) {
    if (ShowMainForm) mainForm_->ShowForm();
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
  ::MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void TApplication::MessageBox(const std::string& text) {
  ::MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_TASKMODAL);
}

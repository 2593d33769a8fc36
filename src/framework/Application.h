// The application object: title, main form, message loop, termination
// request, the standard exception message box and the plain message box.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

class TForm;
class TComponent;

class TApplication {
 public:
  // Readies the application for its forms. COM, which the shell wants, is
  // started with the first shell call (framework/SystemDll.h), not here.
  void Initialize();

  // The application window: never seen itself, it owns the forms and carries
  // the title, so the taskbar button and Alt+Tab say the title rather than
  // the main form's caption. Made on first use after Initialize; none before.
  HWND Handle();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // The taskbar button's minimise and restore: the main form hides with the
  // application window's minimising and comes back with its restoring.
  void Minimize();
  void Restore();

  // Shown by Run unless cleared before.
  bool ShowMainForm = true;

  // Creates a form owned by nobody; the first one becomes the main form.
  template <typename Form>
  void CreateForm(Form*& reference) {
    reference = nullptr;
    Form* form = new Form(nullptr);
    reference = form;
    if (!mainForm_) mainForm_ = form;
  }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form (when ShowMainForm) and handles messages until the
  // quit message is taken. Frees the main form at the end.
  void Run();
  // Requests the end of the run: posts a quit message.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every message waiting in the queue, then returns.
  void ProcessMessages();
  // One message taken from the queue (not the quit message): its form's
  // keyboard navigation first, else translated and dispatched. Loops of
  // their own call it, so that keys work there as they do here.
  void HandleMessage(MSG& msg);

  // Where the text of every box goes instead, when set: a run that shows no
  // window has nobody to close one.
  std::function<void(const std::string&)> MessageSink;

  void HandleException(const std::exception& e);
  void ShowException(const std::exception& e);
  // The plain message: modal, centred on the screen, the title as caption,
  // one OK button, no icon.
  void MessageBox(const std::string& text);

  // Forgets the main form without freeing it (tests that own their forms).
  void ResetMainForm() { mainForm_ = nullptr; terminated_ = false; }

 private:
  bool ProcessMessage(MSG& msg);
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
  bool initialized_ = false;
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
};

extern TApplication* Application;

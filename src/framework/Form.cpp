#include "framework/Form.h"

#include "framework/Application.h"

namespace {
const DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(::GetSysColor(COLOR_BTNFACE));
}

TForm::~TForm() { DestroyHandle(); }

void TForm::FillCreateParams(CreateParams& params) {
  params.className = "TForm";
  params.style = kFormStyle;
  params.exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
}

void TForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  RECT rc = {0, 0, width, height};
  ::AdjustWindowRectEx(&rc, kFormStyle, FALSE, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT);
  SetBounds(Left(), Top(), rc.right - rc.left, rc.bottom - rc.top);
}

int TForm::ClientWidth() const {
  RECT rc;
  if (HandleAllocated() && ::GetClientRect(const_cast<TForm*>(this)->Handle(), &rc))
    return rc.right;
  return clientWidth_;
}

int TForm::ClientHeight() const {
  RECT rc;
  if (HandleAllocated() && ::GetClientRect(const_cast<TForm*>(this)->Handle(), &rc))
    return rc.bottom;
  return clientHeight_;
}

void TForm::ApplyBounds() {
  ::SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen() {
  const int sw = ::GetSystemMetrics(SM_CXSCREEN);
  const int sh = ::GetSystemMetrics(SM_CYSCREEN);
  SetBounds((sw - Width()) / 2, (sh - Height()) / 2, Width(), Height());
}

void TForm::ShowForm() {
  Handle();
  if (!shownOnce_) {
    shownOnce_ = true;
    CenterOnScreen();
  }
  SetVisible(true);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  ::UpdateWindow(Handle());
}

void TForm::Close() {
  if (Application->MainForm() == this)
    Application->Terminate();
  else
    Hide();
}

bool TForm::PreProcessMessage(MSG&) { return false; }

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_WINDOWPOSCHANGED: {
      // The user moves and sizes the form; keep the bounds in step.
      RECT rc;
      ::GetWindowRect(Handle(), &rc);
      TWinControl::SetBounds(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
      break;
    }
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

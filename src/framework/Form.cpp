#include "framework/Form.h"

#include <algorithm>

#include "framework/Application.h"

namespace {
const DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// No taskbar button of its own: the application window, its owner, has it.
const DWORD kFormExStyle = WS_EX_CONTROLPARENT;

bool Contains(TWinControl* outer, TWinControl* inner) {
  for (TWinControl* c = inner; c; c = c->Parent())
    if (c == outer) return true;
  return false;
}
}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(clBtnFace);
}

TForm::~TForm() { DestroyHandle(); }

void TForm::FillCreateParams(CreateParams& params) {
  params.className = "TForm";
  params.style = kFormStyle;
  params.exStyle = kFormExStyle;
  params.owner = Application->Handle();
}

void TForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  // Measuring the frame is the first call that starts the window system's
  // metrics (a tenth of a second under Wine): it waits until the bounds are
  // asked for or the window is made, which a run that never shows the form
  // does without.
  frameNeeded_ = true;
  if (HandleAllocated()) BoundsNeeded();
}

void TForm::SetPixelsPerInch(int ppi) {
  scaleSettled_ = true;
  ScaleBy(ppi, pixelsPerInch_);
}

void TForm::ChangeScale(int m, int d) {
  // The client area scales; the frame is the system's, the place the screen's.
  pixelsPerInch_ = ::MulDiv(pixelsPerInch_, m, d);
  font_.Height = ::MulDiv(font_.Height, m, d);
  SetClientSize(::MulDiv(ClientWidth(), m, d), ::MulDiv(ClientHeight(), m, d));
  ScaleChildren(m, d);
}

void TForm::BoundsNeeded() const {
  auto* self = const_cast<TForm*>(this);
  // Like the frame, the screen's resolution is read only by a run that
  // places or shows the form.
  if (!scaleSettled_) self->SetPixelsPerInch(ScreenPixelsPerInch());
  if (!frameNeeded_) return;
  RECT rc = {0, 0, clientWidth_, clientHeight_};
  ::AdjustWindowRectEx(&rc, kFormStyle, FALSE, kFormExStyle);
  self->frameNeeded_ = false;
  self->SetBounds(left_, top_, rc.right - rc.left, rc.bottom - rc.top);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  frameNeeded_ = false;  // bounds given outright replace a pending client size
  TWinControl::SetBounds(left, top, width, height);
}

int TForm::ClientWidth() const {
  RECT rc;
  if (WindowHandle() && ::GetClientRect(WindowHandle(), &rc)) return rc.right;
  return clientWidth_;
}

int TForm::ClientHeight() const {
  RECT rc;
  if (WindowHandle() && ::GetClientRect(WindowHandle(), &rc)) return rc.bottom;
  return clientHeight_;
}

void TForm::ApplyBounds() {
  ::SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen() {
  const int sw = ::GetSystemMetrics(SM_CXSCREEN);
  const int sh = ::GetSystemMetrics(SM_CYSCREEN);
  // A form taller or wider than the screen keeps its caption bar on it.
  SetBounds(std::max(0, (sw - Width()) / 2), std::max(0, (sh - Height()) / 2), Width(), Height());
}

void TForm::ShowForm() {
  Handle();
  if (!shownOnce_) {
    shownOnce_ = true;
    CenterOnScreen();
  }
  // Activation inside the show focuses a control, and its repaint would
  // come before the window is on screen. Under Wine each such early paint
  // costs several times what it costs in the paint that ends the show.
  inShow_ = true;
  SetVisible(true);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  inShow_ = false;
  ::UpdateWindow(Handle());
}

void TForm::Close() {
  if (Application->MainForm() == this)
    Application->Terminate();
  else
    Hide();
}

void TForm::SetIconResource(const char* name) {
  iconName_ = name ? name : "";
  if (HandleAllocated()) ApplyIcon();
}

void TForm::HandleCreated() {
  TWinControl::HandleCreated();
  if (!iconName_.empty()) ApplyIcon();
}

void TForm::ApplyIcon() {
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  // Shared icons belong to the module; nothing to free.
  auto load = [&](int side) {
    return reinterpret_cast<LPARAM>(
        ::LoadImageA(module, iconName_.c_str(), IMAGE_ICON, side, side, LR_SHARED));
  };
  if (LPARAM big = load(::GetSystemMetrics(SM_CXICON)))
    ::SendMessageA(WindowHandle(), WM_SETICON, ICON_BIG, big);
  if (LPARAM small = load(::GetSystemMetrics(SM_CXSMICON)))
    ::SendMessageA(WindowHandle(), WM_SETICON, ICON_SMALL, small);
}

void TForm::SetActiveControl(TWinControl* control) {
  activeControl_ = control;
  if (control && control->CanFocus() && HandleAllocated() && ::GetActiveWindow() == Handle())
    control->SetFocus();
}

TWinControl* TForm::FindNextControl(TWinControl* current, bool forward) const {
  std::vector<TWinControl*> order = TabOrderList();
  if (!forward) std::reverse(order.begin(), order.end());
  auto start = std::find(order.begin(), order.end(), current);
  const size_t n = order.size();
  const size_t first = start == order.end() ? 0 : static_cast<size_t>(start - order.begin()) + 1;
  for (size_t i = 0; i < n; ++i) {
    TWinControl* c = order[(first + i) % n];
    if (c != current && c->TabStop() && c->CanFocus()) return c;
  }
  return nullptr;
}

void TForm::SelectNext(TWinControl* current, bool forward) {
  if (TWinControl* next = FindNextControl(current, forward)) next->SetFocus();
}

void TForm::FocusedControlChanged(TWinControl* control) {
  if (control == focusedControl_) return;
  focusedControl_ = control;
  if (control != this) activeControl_ = control;
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
}

void TForm::ControlGone(TWinControl* control) {
  if (Contains(control, activeControl_)) activeControl_ = nullptr;
  if (Contains(control, focusedControl_)) focusedControl_ = nullptr;
}

void TForm::ControlHidden(TWinControl* control, bool hadFocus) {
  // An inactive form hands the focus on when it is next activated.
  if (!hadFocus || !HandleAllocated()) return;
  TWinControl* from = Contains(control, activeControl_) ? activeControl_ : control;
  if (TWinControl* heir = FocusHeir(from))
    heir->SetFocus();
  else
    ::SetFocus(Handle());
}

TWinControl* TForm::FocusHeir(TWinControl* gone) const {
  // The control shown in its place (the other half of a switch), else the
  // next stop of the Tab key round.
  for (TWinControl* c : TabOrderList())
    if (c != gone && c->Parent() == gone->Parent() && c->Left() == gone->Left() &&
        c->Top() == gone->Top() && c->TabStop() && c->CanFocus())
      return c;
  return FindNextControl(gone, true);
}

void TForm::RestoreFocus() {
  // Shown for the first time (or its control went away): the first stop of
  // the Tab key round; its control hidden meanwhile: the one that takes over
  // from it; else the form itself.
  TWinControl* target = !activeControl_              ? FindNextControl(nullptr, true)
                        : activeControl_->CanFocus() ? activeControl_
                                                     : FocusHeir(activeControl_);
  if (target)
    target->SetFocus();
  else
    ::SetFocus(Handle());
}

LRESULT TForm::UiState() {
  if (!uiStateKnown_) {
    // Focus rectangles hide until the keyboard is used, unless the user
    // has the system show them always.
    BOOL alwaysShown = FALSE;
    ::SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &alwaysShown, 0);
    uiState_ = alwaysShown ? 0 : UISF_HIDEFOCUS | UISF_HIDEACCEL;
    uiStateKnown_ = true;
  }
  return uiState_;
}

void TForm::ChangeUiState(WPARAM actionAndFlags) {
  // Cues once shown stay shown for the life of the window, as in Windows'
  // dialogs: only clearing a hide flag changes anything.
  if (LOWORD(actionAndFlags) != UIS_CLEAR) return;
  const LRESULT before = UiState();
  uiState_ &= static_cast<WORD>(~HIWORD(actionAndFlags));
  if (uiState_ != before) Perform(WM_UPDATEUISTATE, actionAndFlags, 0);
}

bool TForm::OnDialogKey(WPARAM key, LPARAM keyData) {
  if (key != VK_TAB) return false;
  const TShiftState shift = KeyDataToShiftState(keyData);
  if (shift & (ssCtrl | ssAlt)) return false;
  SelectNext(activeControl_, !(shift & ssShift));
  return true;
}

bool TForm::PreProcessMessage(MSG& msg) {
  if (msg.message != WM_KEYDOWN) return false;
  const WPARAM key = msg.wParam;
  if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
  // The keyboard is in use: focus rectangles show from now on.
  ChangeUiState(MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
  // A control that takes these keys itself (an edit box) keeps them.
  const LRESULT wants = ::SendMessageA(msg.hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
  if (wants & (key == VK_TAB ? DLGC_WANTTAB : DLGC_WANTALLKEYS)) return false;
  return Perform(CM_DIALOGKEY, key, msg.lParam) != 0;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SYSCOMMAND:
      // The main form minimises with the application, whose taskbar button
      // then brings it back.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && Application->MainForm() == this &&
          Application->Handle()) {
        Application->Minimize();
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      // The user moves and sizes the form; keep the bounds in step.
      RECT rc;
      ::GetWindowRect(Handle(), &rc);
      BoundsChangedByWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        RestoreFocus();
        return 0;
      }
      break;
    case CM_DIALOGKEY:
      if (OnDialogKey(wParam, lParam)) return 1;
      break;
    case WM_CHANGEUISTATE:
      ChangeUiState(wParam);
      return 0;
    case WM_QUERYUISTATE:
      return UiState();
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

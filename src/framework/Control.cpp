#include "framework/Control.h"

#include <windowsx.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

#include "framework/Accessible.h"
#include "framework/Application.h"
#include "framework/Form.h"
#include "framework/Handles.h"

namespace {

const char kObjectProp[] = "QuellixControl";

void CollectTabOrder(const std::vector<TWinControl*>& level, std::vector<TWinControl*>& out) {
  for (TWinControl* c : level) {
    out.push_back(c);
    const std::vector<TWinControl*> below = c->TabOrderList();
    out.insert(out.end(), below.begin(), below.end());
  }
}

}  // namespace

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState state = 0;
  if (::GetKeyState(VK_SHIFT) < 0) state |= ssShift;
  if (::GetKeyState(VK_CONTROL) < 0) state |= ssCtrl;
  if (keyData & 0x20000000) state |= ssAlt;  // the context code: Alt held
  return state;
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
  if (parent_)
    if (TForm* form = ParentForm()) form->ControlGone(this);
  // Children may be owned elsewhere; they lose their parent, not their life.
  for (TWinControl* child : controls_) child->parent_ = nullptr;
  controls_.clear();
  tabList_.clear();
  DestroyHandle();
  if (parent_) parent_->RemoveControl(this);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    if (TForm* form = ParentForm()) form->ControlGone(this);
    parent_->RemoveControl(this);
  }
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    if (handle_)
      ::SetParent(handle_, parent_->HandleAllocated() ? parent_->Handle() : nullptr);
    else if (parent_->HandleAllocated() && visible_)
      CreateHandle();
    if (align_ != TAlign::alNone) ParentRealign();
  } else {
    DestroyHandle();
  }
}

void TWinControl::InsertControl(TWinControl* child) {
  controls_.push_back(child);
  tabList_.push_back(child);
}

void TWinControl::RemoveControl(TWinControl* child) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), child), controls_.end());
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), child), tabList_.end());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_) ApplyBounds();
  if (resized && !handle_) AlignControls();  // with a window, WM_SIZE does it
  if (align_ != TAlign::alNone) ParentRealign();
}

void TWinControl::SetDesignBounds(int left, int top, int width, int height) {
  const TForm* form = ParentForm();
  const int ppi = form ? form->PixelsPerInch() : kDesignPixelsPerInch;
  auto scale = [ppi](int v) { return ::MulDiv(v, ppi, kDesignPixelsPerInch); };
  SetBounds(scale(left), scale(top), scale(width), scale(height));
}

void TWinControl::ScaleBy(int m, int d) {
  if (m != d && m > 0 && d > 0) ChangeScale(m, d);
}

void TWinControl::ChangeScale(int m, int d) {
  // Sizes scale, not edges: controls designed alike stay alike (and match
  // pictures drawn for the scale), whatever their place.
  font_.Height = ::MulDiv(font_.Height, m, d);
  SetBounds(::MulDiv(left_, m, d), ::MulDiv(top_, m, d), ::MulDiv(width_, m, d),
            ::MulDiv(height_, m, d));
  ScaleChildren(m, d);
}

void TWinControl::ScaleChildren(int m, int d) {
  for (TWinControl* child : controls_) child->ChangeScale(m, d);
  AppearanceChanged();
}

void TWinControl::BoundsChangedByWindow(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TWinControl::ApplyBounds() {
  ::SetWindowPos(handle_, nullptr, left_, top_, width_, height_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  const bool hadFocus = !visible && ContainsFocus();
  visible_ = visible;
  // A hidden control must not keep the keyboard: the form hands it on.
  if (!visible) {
    TForm* form = ParentForm();
    if (form && form != static_cast<TWinControl*>(this)) form->ControlHidden(this, hadFocus);
  }
  // A docked control takes its place before it shows, not after.
  if (visible && align_ != TAlign::alNone) ParentRealign();
  // A hidden control gets its window when it first shows (see CreateHandle).
  if (visible && !handle_ && parent_ && parent_->handle_) CreateHandle();
  if (handle_) ::ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
  if (!visible && align_ != TAlign::alNone) ParentRealign();
  // Long work on this thread handles messages only now and then; what shows
  // or is uncovered is drawn at once rather than one paint message at a time.
  if (handle_ && parent_ && parent_->handle_)
    ::RedrawWindow(parent_->handle_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool TWinControl::Showing() const {
  for (const TWinControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (handle_) ::EnableWindow(handle_, enabled);
  Invalidate();
}

void TWinControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (handle_) {
    ::SetWindowTextA(handle_, caption_.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
  }
  AdjustSize();
  Invalidate();
}

COLORREF ColorToRGB(COLORREF color) {
  return color & 0x80000000u ? ::GetSysColor(static_cast<int>(color & 0xFF)) : color;
}

COLORREF TWinControl::DeclaredColor() const {
  return parentColor_ && parent_ ? parent_->DeclaredColor() : color_;
}

COLORREF TWinControl::Color() const { return ColorToRGB(DeclaredColor()); }

void TWinControl::SetColor(COLORREF color) {
  const COLORREF before = DeclaredColor();
  color_ = color;
  parentColor_ = false;
  if (DeclaredColor() != before) AppearanceChanged();
}

void TWinControl::SetParentColor(bool parentColor) {
  const COLORREF before = DeclaredColor();
  parentColor_ = parentColor;
  if (DeclaredColor() != before) AppearanceChanged();
}

const TFont& TWinControl::Font() const {
  return parentFont_ && parent_ ? parent_->Font() : font_;
}

void TWinControl::SetFont(const TFont& font) {
  const TFont before = Font();
  font_ = font;
  parentFont_ = false;
  if (Font() == before) return;
  FontChanged();
  AppearanceChanged();
}

void TWinControl::SetParentFont(bool parentFont) {
  const TFont before = Font();
  parentFont_ = parentFont;
  if (Font() == before) return;
  FontChanged();
  AppearanceChanged();
}

void TWinControl::FontChanged() {
  AdjustSize();
  for (TWinControl* child : controls_)
    if (child->parentFont_) child->FontChanged();
}

void TWinControl::AppearanceChanged() {
  // Children that take their colour or font from here change with it.
  if (handle_)
    ::RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TWinControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  ParentRealign();
}

void TWinControl::ParentRealign() {
  if (parent_) parent_->AlignControls();
}

void TWinControl::AlignControls() {
  if (aligning_) return;
  aligning_ = true;
  std::vector<TWinControl*> tops, bottoms;
  for (TWinControl* c : controls_) {
    if (!c->visible_) continue;
    if (c->align_ == TAlign::alTop) tops.push_back(c);
    if (c->align_ == TAlign::alBottom) bottoms.push_back(c);
  }
  // Docked controls keep the order of their current places, as designed.
  std::stable_sort(tops.begin(), tops.end(),
                   [](TWinControl* a, TWinControl* b) { return a->top_ < b->top_; });
  std::stable_sort(bottoms.begin(), bottoms.end(), [](TWinControl* a, TWinControl* b) {
    return a->top_ + a->height_ > b->top_ + b->height_;
  });
  const int width = ClientWidth();
  int y = 0;
  for (TWinControl* c : tops) {
    c->SetBounds(0, y, width, c->height_);
    y += c->height_;
  }
  int bottom = ClientHeight();
  for (TWinControl* c : bottoms) {
    bottom -= c->height_;
    c->SetBounds(0, bottom, width, c->height_);
  }
  aligning_ = false;
}

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  const auto& list = parent_->tabList_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!parent_) return;
  auto& list = parent_->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  order = std::max(0, std::min(order, static_cast<int>(list.size())));
  list.insert(list.begin() + order, this);
}

std::vector<TWinControl*> TWinControl::TabOrderList() const {
  std::vector<TWinControl*> out;
  CollectTabOrder(tabList_, out);
  return out;
}

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->parent_)
    if (!c->visible_ || !c->enabled_) return false;
  return true;
}

bool TWinControl::Focused() const { return handle_ && ::GetFocus() == handle_; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

bool TWinControl::ContainsFocus() const {
  const HWND focus = ::GetFocus();
  return handle_ && focus && (focus == handle_ || ::IsChild(handle_, focus));
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  return hwnd ? static_cast<TWinControl*>(::GetPropA(hwnd, kObjectProp)) : nullptr;
}

TForm* TWinControl::ParentForm() {
  TWinControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(c);
}

void TWinControl::Click() {
  if (OnClick) OnClick(this);
}

std::string TWinControl::AccessibleName() const {
  return accessibleLabel_ ? accessibleLabel_->Caption() + " " + caption_ : caption_;
}

void TWinControl::SetAccessibleLabel(TWinControl* label) {
  accessibleLabel_ = label;
  if (label) FreeNotification(label);
}

void TWinControl::Announce(bool alert) {
  announcement_ = alert ? EVENT_SYSTEM_ALERT : EVENT_OBJECT_NAMECHANGE;
  if (handle_) ::PostMessageA(handle_, CM_ANNOUNCE, 0, 0);
}

void TWinControl::OnAnnounce() {
  if (!announcement_) return;  // told already
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
  if (announcement_ == EVENT_SYSTEM_ALERT)
    ::NotifyWinEvent(EVENT_SYSTEM_ALERT, handle_, OBJID_CLIENT, CHILDID_SELF);
  announcement_ = 0;
}

void TWinControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == accessibleLabel_)
    accessibleLabel_ = nullptr;
}

void TWinControl::Invalidate() {
  if (handle_) ::InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (!handle_) return;
  if (TForm* form = ParentForm())
    if (form->InShow()) return;  // painted when the show ends
  ::UpdateWindow(handle_);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  return WndProc(msg, wParam, lParam);
}

LRESULT TWinControl::Broadcast(UINT msg, WPARAM wParam, LPARAM lParam) {
  const std::vector<TWinControl*> children = controls_;  // a handler may rearrange them
  for (TWinControl* child : children)
    if (LRESULT result = child->Perform(msg, wParam, lParam)) return result;
  return 0;
}

void TWinControl::FillCreateParams(CreateParams&) {}

void TWinControl::RegisterClassFor(const CreateParams& params) {
  static std::set<std::string> registered;
  if (registered.count(params.className)) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = params.classStyle;
  wc.lpfnWndProc = &TWinControl::StaticWndProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = params.className;
  if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error(std::string("Cannot register window class ") + params.className);
  registered.insert(params.className);
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  BoundsNeeded();
  CreateParams params;
  FillCreateParams(params);
  HWND parentWindow = params.owner;
  if (params.style & WS_CHILD) {
    if (!parent_) throw std::runtime_error("Control '" + Name + "' has no parent window");
    parentWindow = parent_->Handle();
    if (handle_) return;  // the parent's new window made this one's with it
  }
  RegisterClassFor(params);
  DWORD style = params.style;
  if (visible_ && (style & WS_CHILD)) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  HWND hwnd = ::CreateWindowExA(params.exStyle, params.className, caption_.c_str(), style,
                                left_, top_, width_, height_, parentWindow, nullptr,
                                ::GetModuleHandleA(nullptr), this);
  if (!hwnd)
    throw std::runtime_error("Cannot create window for '" + Name + "' (error " +
                             std::to_string(::GetLastError()) + ")");
  handle_ = hwnd;
  if (style & WS_CHILD) TakeDesignedPlaceInStack();
  CreateChildHandles();
  AlignControls();
  HandleCreated();
}

void TWinControl::TakeDesignedPlaceInStack() {
  // A new window goes under all its siblings; one made late (a control that
  // first shows now) belongs where its place among them puts it: under the
  // controls before it, over those after it, as when all are made at once.
  HWND above = HWND_TOP;
  for (TWinControl* sibling : parent_->controls_) {
    if (sibling == this) break;
    if (sibling->handle_) above = sibling->handle_;
  }
  const HWND now = ::GetWindow(handle_, GW_HWNDPREV);  // the window just over it
  if (now == (above == HWND_TOP ? nullptr : above)) return;  // made in order: in place
  ::SetWindowPos(handle_, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::CreateChildHandles() {
  // Hidden children wait until they show or their window is asked for: a
  // form holds many that its start never shows (stored pictures, the other
  // half of each switch, panels for later), and under Wine every window made
  // costs about half a millisecond of the start.
  for (TWinControl* child : controls_)
    if (!child->handle_ && child->visible_) child->CreateHandle();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND hwnd = handle_;
  ::DestroyWindow(hwnd);  // WM_NCDESTROY clears handle_ of this and every child
  handle_ = nullptr;
}

void TWinControl::EraseBackground(HDC dc) {
  const RECT rc = ClientRect();
  UniqueGdiObject brush(::CreateSolidBrush(Color()));
  ::FillRect(dc, &rc, static_cast<HBRUSH>(brush.get()));
}

void TWinControl::EraseWithParentBackground(HDC dc) {
  if (!parent_) {
    EraseBackground(dc);
    return;
  }
  POINT saved;
  ::OffsetWindowOrgEx(dc, left_, top_, &saved);
  parent_->EraseBackground(dc);
  ::SetWindowOrgEx(dc, saved.x, saved.y, nullptr);
}

void TWinControl::OnMouseMove() {
  if (mouseInside_) return;
  mouseInside_ = true;
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = handle_;
  ::TrackMouseEvent(&track);
  Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
}

void TWinControl::OnMouseLeave() {
  mouseInside_ = false;
  clicking_ = false;  // a press that left is no click, even back over the control
  Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
}

void TWinControl::OnMouseDown() {
  if (Designing()) return;  // a designer's clicks select, they do not click
  // The mouse is not held: its release goes where the pointer is, and a
  // button released over clicks, wherever the press began.
  clicking_ = static_cast<bool>(OnClick);
}

void TWinControl::OnMouseUp(LPARAM position) {
  if (!clicking_) return;
  clicking_ = false;
  const POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  const RECT client = ClientRect();
  if (::PtInRect(&client, at)) Click();
}

bool TWinControl::OnSetCursor(LPARAM hitAndMessage) {
  if (LOWORD(hitAndMessage) != HTCLIENT || cursor_ == crDefault) return false;
  ::SetCursor(::LoadCursorA(nullptr, cursor_ == crHandPoint ? IDC_HAND : IDC_ARROW));
  return true;
}

void TWinControl::OnSetFocus() {
  if (TForm* form = ParentForm()) form->FocusedControlChanged(this);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCPAINT:
      // Nothing to draw outside the client area; the default handling would
      // still take a device context for it, a cost per child under Wine.
      if (!HasNonClientArea()) return 0;
      break;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_SIZE:
      AlignControls();
      break;
    case WM_MOUSEMOVE:
      OnMouseMove();
      break;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      OnMouseDown();
      return 0;
    case WM_LBUTTONUP:
      OnMouseUp(lParam);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(lParam)) return TRUE;
      break;
    case WM_SETFOCUS:
      OnSetFocus();
      break;
    case WM_GETOBJECT:
      if (AccessibleRole())
        if (const LRESULT object = AnswerGetObject(handle_, wParam, lParam)) return object;
      break;
    case CM_DEFAULTACTION:
      if (CanFocus()) Click();
      return 0;
    case WM_CREATE:
      if (announcement_) ::PostMessageA(handle_, CM_ANNOUNCE, 0, 0);
      break;
    case CM_ANNOUNCE:
      OnAnnounce();
      return 0;
    case CM_DIALOGKEY:
      return Broadcast(msg, wParam, lParam);
    case CM_FOCUSCHANGED:
      Broadcast(msg, wParam, lParam);
      return 0;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      return 0;
    case WM_CHANGEUISTATE:
    case WM_QUERYUISTATE:
      // The keyboard cues are the form's (TForm handles these itself).
      if (TForm* form = ParentForm()) return form->Perform(msg, wParam, lParam);
      return 0;
    case WM_UPDATEUISTATE:
      for (TWinControl* child : controls_) child->Perform(msg, wParam, lParam);
      return 0;
  }
  return DefaultHandler(msg, wParam, lParam);
}

bool TWinControl::HasNonClientArea() const {
  const LONG_PTR style = ::GetWindowLongPtrA(handle_, GWL_STYLE);
  const LONG_PTR exStyle = ::GetWindowLongPtrA(handle_, GWL_EXSTYLE);
  if (!(style & WS_CHILD)) return true;  // a top-level window's frame
  return (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL)) ||
         (exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME));
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  return handle_ ? ::DefWindowProcA(handle_, msg, wParam, lParam) : 0;
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam,
                                            LPARAM lParam) {
  auto* self = FromHandle(hwnd);
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetPropA(hwnd, kObjectProp, self);
    self->handle_ = hwnd;
  }
  if (!self) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    ::RemovePropA(hwnd, kObjectProp);
    self->handle_ = nullptr;
    self->mouseInside_ = false;
    self->clicking_ = false;
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  try {
    return self->WndProc(msg, wParam, lParam);
  } catch (const std::exception& e) {
    Application->HandleException(e);
  } catch (...) {
    Application->HandleException(std::runtime_error("Unknown exception"));
  }
  return 0;
}

#include "framework/Control.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

#include "framework/Application.h"
#include "framework/Form.h"

namespace {
const char kObjectProp[] = "QuellixControl";
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
  // Children may be owned elsewhere; they lose their parent, not their life.
  for (TWinControl* child : controls_) child->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();
  if (parent_) parent_->RemoveControl(this);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    if (handle_)
      ::SetParent(handle_, parent_->HandleAllocated() ? parent_->Handle() : nullptr);
    else if (parent_->HandleAllocated())
      CreateHandle();
    if (align_ != TAlign::alNone) ParentRealign();
  } else {
    DestroyHandle();
  }
}

void TWinControl::InsertControl(TWinControl* child) { controls_.push_back(child); }

void TWinControl::RemoveControl(TWinControl* child) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), child), controls_.end());
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

void TWinControl::ApplyBounds() {
  ::SetWindowPos(handle_, nullptr, left_, top_, width_, height_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (handle_) ::ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
  if (align_ != TAlign::alNone) ParentRealign();
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
  if (handle_) ::SetWindowTextA(handle_, caption_.c_str());
  Invalidate();
}

void TWinControl::SetColor(COLORREF color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
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

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

TForm* TWinControl::ParentForm() {
  TWinControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(c);
}

void TWinControl::Click() {
  if (OnClick) OnClick(this);
}

void TWinControl::Invalidate() {
  if (handle_) ::InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) ::UpdateWindow(handle_);
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
  CreateParams params;
  FillCreateParams(params);
  HWND parentWindow = nullptr;
  if (params.style & WS_CHILD) {
    if (!parent_) throw std::runtime_error("Control '" + Name + "' has no parent window");
    parentWindow = parent_->Handle();
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
  CreateChildHandles();
  AlignControls();
  HandleCreated();
}

void TWinControl::CreateChildHandles() {
  for (TWinControl* child : controls_)
    if (!child->handle_) child->CreateHandle();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND hwnd = handle_;
  ::DestroyWindow(hwnd);  // WM_NCDESTROY clears handle_ of this and every child
  handle_ = nullptr;
}

void TWinControl::EraseBackground(HDC dc) {
  RECT rc;
  ::GetClientRect(handle_, &rc);
  HBRUSH brush = ::CreateSolidBrush(color_);
  ::FillRect(dc, &rc, brush);
  ::DeleteObject(brush);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_SIZE:
      AlignControls();
      break;
  }
  return DefaultHandler(msg, wParam, lParam);
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(handle_, msg, wParam, lParam);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam,
                                            LPARAM lParam) {
  auto* self = static_cast<TWinControl*>(::GetPropA(hwnd, kObjectProp));
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetPropA(hwnd, kObjectProp, self);
    self->handle_ = hwnd;
  }
  if (!self) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    ::RemovePropA(hwnd, kObjectProp);
    self->handle_ = nullptr;
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

// Windowed controls: every control of this layer is a real window. Properties
// are kept in the object and pushed to the window when it exists, so a control
// can be set up before its parent has a window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Component.h"

enum class TAlign { alNone, alTop, alBottom };

class TForm;
class TWinControl;

using TNotifyEvent = std::function<void(TComponent* sender)>;

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // Parent window; a control shows only once it has one.
  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TWinControl* Controls(int index) const { return controls_[static_cast<size_t>(index)]; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  // Size of the area children are placed in.
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and through all its parents.
  bool Showing() const;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  COLORREF Color() const { return color_; }
  void SetColor(COLORREF color);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // The window, created on first use when the parent has one.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }

  // The form this control sits on (itself for a form), or none.
  TForm* ParentForm();

  TNotifyEvent OnClick;
  virtual void Click();

  // Repaint soon / now.
  void Invalidate();
  void Update();

 protected:
  struct CreateParams {
    const char* className = "QuellixControl";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    UINT classStyle = CS_DBLCLKS;
  };
  virtual void FillCreateParams(CreateParams& params);
  void CreateHandle();
  void DestroyHandle();

  // One message for this control. Handlers override it and hand what they do
  // not handle to DefaultHandler.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

  // Paints the background in Color; overridden by controls that draw it whole.
  virtual void EraseBackground(HDC dc);
  // Places the aligned children (top and bottom docking) in the client area.
  void AlignControls();
  // Called when the window of this control has just been created.
  virtual void HandleCreated() {}

  // Where in the parent's client area the window goes.
  virtual void ApplyBounds();

 private:
  friend class TForm;
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static void RegisterClassFor(const CreateParams& params);
  void InsertControl(TWinControl* child);
  void RemoveControl(TWinControl* child);
  void CreateChildHandles();
  void ParentRealign();

  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> controls_;
  HWND handle_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  COLORREF color_ = RGB(0xF0, 0xF0, 0xF0);
  TAlign align_ = TAlign::alNone;
  bool aligning_ = false;
};

// Windowed controls: every control of this layer is a real window once it
// shows. Properties are kept in the object and pushed to the window when it
// exists, so a control can be set up before its parent has a window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Component.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"

enum class TAlign { alNone, alTop, alBottom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TCursor { crDefault, crArrow, crHandPoint };

// A colour of the system's palette, such as a form's default. It is turned
// into RGB only when asked for, so that a run which never draws never reads
// the palette: the first read starts the window system, which costs a few
// hundredths of a second under Wine.
constexpr COLORREF clBtnFace = 0x80000000u | COLOR_BTNFACE;
COLORREF ColorToRGB(COLORREF color);

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

  int Left() const { BoundsNeeded(); return left_; }
  int Top() const { BoundsNeeded(); return top_; }
  int Width() const { BoundsNeeded(); return width_; }
  int Height() const { BoundsNeeded(); return height_; }
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  virtual void SetBounds(int left, int top, int width, int height);
  // Bounds in the design's pixels (96 per inch), at the scale of the form
  // this control sits on (as is, off a form): for places worked out while
  // the program runs.
  void SetDesignBounds(int left, int top, int width, int height);
  // Scales place, size and font by m/d, with what the control adds to them,
  // and every child with it.
  void ScaleBy(int m, int d);
  // Size of the area children are placed in.
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  RECT ClientRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }

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

  // The background colour; the parent's while ParentColor is on (the
  // default for a control with a parent). Setting a colour switches it off.
  // A system colour (clBtnFace) is given as RGB here.
  COLORREF Color() const;
  void SetColor(COLORREF color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parentColor);

  // The font; the parent's while ParentFont is on (the default). Setting a
  // font switches it off.
  const TFont& Font() const;
  void SetFont(const TFont& font);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);

  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor) { cursor_ = cursor; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // Keyboard focus. TabOrder is the place among the parent's children in
  // the Tab key's round; TabStop lets the Tab key stop here.
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop) { tabStop_ = tabStop; }
  int TabOrder() const;
  void SetTabOrder(int order);
  // Visible and enabled, and so is every parent.
  bool CanFocus() const;
  bool Focused() const;
  void SetFocus();
  // This control and everything under it, in tab order (parents first).
  std::vector<TWinControl*> TabOrderList() const;

  // The window, created on first use when the parent has one; a hidden
  // control gets it when it shows or when it is asked for here.
  HWND Handle();
  HWND WindowHandle() const { return handle_; }
  bool HandleAllocated() const { return handle_ != nullptr; }
  // The control a window of this layer belongs to, or none.
  static TWinControl* FromHandle(HWND hwnd);

  // The form this control sits on (itself for a form), or none.
  TForm* ParentForm();

  TNotifyEvent OnClick;
  virtual void Click();

  // What a screen reader hears (framework/Accessible.h): a role
  // (ROLE_SYSTEM_*; 0 leaves the window to the system's standard object),
  // the default action that Click does (none: nullptr), and the name: the
  // caption, led by the caption of the label that says what the control is
  // for, when it has one.
  virtual LONG AccessibleRole() const { return 0; }
  virtual const char* AccessibleAction() const { return nullptr; }
  std::string AccessibleName() const;
  void SetAccessibleLabel(TWinControl* label);
  // Tells screen readers that the caption is news (a state line): its name
  // changed, and with `alert`, that it is to be read out at once. Told from
  // the message loop, with the window on screen; a control without a window
  // tells it once its window has been made.
  void Announce(bool alert);
  void Notification(TComponent* component, TOperation operation) override;

  // Repaint soon / now / both.
  void Invalidate();
  void Update();
  void Repaint();

  // Hands a message straight to this control's WndProc, window or not.
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  // Performs the message on each child in turn until one answers nonzero;
  // that answer, or 0.
  LRESULT Broadcast(UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  struct CreateParams {
    const char* className = "TWinControl";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    UINT classStyle = CS_DBLCLKS;
    // The owner of a top-level window.
    HWND owner = nullptr;
  };
  virtual void FillCreateParams(CreateParams& params);
  void CreateHandle();
  void DestroyHandle();

  // One message for this control. Handlers override it and hand what they do
  // not handle to the inherited WndProc.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

  // Paints the background in Color; overridden by controls that draw it
  // otherwise.
  virtual void EraseBackground(HDC dc);
  // Paints what the parent shows behind this control (for see-through
  // controls).
  void EraseWithParentBackground(HDC dc);
  // Places the aligned children (top and bottom docking) in the client area.
  void AlignControls();
  // Called when the window of this control has just been created.
  virtual void HandleCreated() {}
  // The caption or the font changed: a control that sizes itself to its
  // caption does it here.
  virtual void AdjustSize() {}
  // ScaleBy's work: font, place and size, then the children. A control that
  // holds other lengths scales them too.
  virtual void ChangeScale(int m, int d);
  void ScaleChildren(int m, int d);

  // Where in the parent's client area the window goes.
  virtual void ApplyBounds();
  // Settles bounds that are worked out only when first needed (a form's
  // frame around its client size).
  virtual void BoundsNeeded() const {}
  // Takes the place the window was given from outside (a form the user moves).
  void BoundsChangedByWindow(int left, int top, int width, int height);

 private:
  friend class TForm;
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static void RegisterClassFor(const CreateParams& params);
  void InsertControl(TWinControl* child);
  void RemoveControl(TWinControl* child);
  void CreateChildHandles();
  // Puts a new child window in the stacking order its place among the
  // parent's controls gives it (the first is on top).
  void TakeDesignedPlaceInStack();
  void ParentRealign();
  bool ContainsFocus() const;
  // A border, an edge or a scroll bar around the client area.
  bool HasNonClientArea() const;
  void AppearanceChanged();
  // The font changed: here and in the children that take it from here.
  void FontChanged();

  void OnMouseMove();
  void OnMouseLeave();
  void OnMouseDown();
  void OnMouseUp(LPARAM position);
  bool OnSetCursor(LPARAM hitAndMessage);
  void OnSetFocus();
  void OnAnnounce();
  // The colour as set, or the parent's: a system colour stays one.
  COLORREF DeclaredColor() const;

  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> controls_;
  std::vector<TWinControl*> tabList_;
  HWND handle_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  COLORREF color_ = RGB(0xF0, 0xF0, 0xF0);
  bool parentColor_ = true;
  TFont font_;
  bool parentFont_ = true;
  TCursor cursor_ = crDefault;
  bool tabStop_ = false;
  TAlign align_ = TAlign::alNone;
  bool aligning_ = false;
  bool mouseInside_ = false;
  bool clicking_ = false;
  TWinControl* accessibleLabel_ = nullptr;
  // What Announce has still to tell: 0, or the last WinEvent of it.
  DWORD announcement_ = 0;
};

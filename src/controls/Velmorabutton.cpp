#include "controls/Velmorabutton.h"

#include <oleacc.h>

namespace {

// The framework's push buttons: focus on one makes it the one Enter clicks.
bool IsPushButton(const TWinControl* control) {
  return dynamic_cast<const TVelmoraButton*>(control) != nullptr;
}

}  // namespace

TButtonFace ChooseButtonFace(bool enabled, bool pressed, bool hover, bool focused) {
  if (!enabled) return TButtonFace::Disabled;
  if (pressed) return TButtonFace::Pressed;
  if (hover) return TButtonFace::Hover;
  if (focused) return TButtonFace::Focused;
  return TButtonFace::Normal;
}

TButtonFaceLayout LayoutButtonFace(const RECT& client, bool pressed, const SIZE* icon,
                                   bool hasCaption, int iconIndentLeft, int iconIndentRight) {
  TButtonFaceLayout layout;
  RECT r = client;
  if (pressed) ::OffsetRect(&r, 1, 1);
  if (icon && !hasCaption) {
    RECT ir = {0, 0, icon->cx, icon->cy};
    AlignRect(r, ir, taCenter, taMiddle);
    layout.DrawIcon = true;
    layout.IconAt = {ir.left, ir.top};
  } else if (!icon && hasCaption) {
    layout.DrawCaption = true;
    layout.CaptionRect = r;
    layout.CaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  } else if (icon && hasCaption) {
    r.left += iconIndentLeft;
    r.right -= iconIndentLeft;
    RECT ir = {0, 0, icon->cx, icon->cy};
    AlignRect(r, ir, taLeftJustify, taMiddle);
    layout.DrawIcon = true;
    layout.IconAt = {ir.left, ir.top};
    r.left += icon->cx + iconIndentRight;
    layout.DrawCaption = true;
    layout.CaptionRect = r;
    layout.CaptionFormat = DT_VCENTER | DT_SINGLELINE;
  }
  return layout;
}

bool AnswersDialogKey(WPARAM key, TShiftState shift, bool active, bool cancel, bool canFocus) {
  const bool wanted = (key == VK_RETURN && active) || (key == VK_ESCAPE && cancel);
  return wanted && shift == 0 && canFocus;
}

TVelmoraButton::TVelmoraButton(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 137, 41);
  SetTabStop(true);
  SetDoubleBuffered(true);
}

void TVelmoraButton::FillCreateParams(CreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.className = "TVelmoraButton";
}

void TVelmoraButton::SetImage(TImage*& slot, TImage* image) {
  if (image == slot) return;
  slot = image;
  // Images normally share the button's owner, which tells it of their end;
  // this covers one owned elsewhere.
  if (image) FreeNotification(image);
  Invalidate();
}

void TVelmoraButton::SetIndent(int& slot, int indent) {
  if (indent == slot) return;
  slot = indent;
  Invalidate();
}

void TVelmoraButton::ChangeScale(int m, int d) {
  TCustomControl::ChangeScale(m, d);
  SetIconIndentLeft(::MulDiv(FIconIndentLeft, m, d));
  SetIconIndentRight(::MulDiv(FIconIndentRight, m, d));
}

void TVelmoraButton::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == FImageIcon) SetImageIcon(nullptr);
  if (component == FImageNormal) SetImageNormal(nullptr);
  if (component == FImageFocused) SetImageFocused(nullptr);
  if (component == FImageHover) SetImageHover(nullptr);
  if (component == FImagePressed) SetImagePressed(nullptr);
  if (component == FImageDisabled) SetImageDisabled(nullptr);
}

void TVelmoraButton::Click() {
  if (TForm* form = ParentForm()) form->ModalResult = ModalResult;
  TCustomControl::Click();
}

LONG TVelmoraButton::AccessibleRole() const { return ROLE_SYSTEM_PUSHBUTTON; }

TImage* TVelmoraButton::FaceImage() const {
  switch (ChooseButtonFace(Enabled(), FPressed, FHover, Focused())) {
    case TButtonFace::Disabled:
      return FImageDisabled;
    case TButtonFace::Pressed:
      return FImagePressed;
    case TButtonFace::Hover:
      return FImageHover;
    case TButtonFace::Focused:
      return FImageFocused;
    case TButtonFace::Normal:
      break;
  }
  return FImageNormal;
}

void TVelmoraButton::Paint() {
  TCanvas& canvas = *Canvas();
  const TGraphic* face = GetGraphic(FaceImage());
  if (face && !face->Empty()) canvas.StretchDraw(ClientRect(), face);

  canvas.Brush.Style = TBrushStyle::bsClear;
  canvas.Font = Font();

  const TGraphic* icon = GetGraphic(FImageIcon);
  const bool hasIcon = icon && !icon->Empty();
  const SIZE iconSize = hasIcon ? SIZE{icon->Width(), icon->Height()} : SIZE{0, 0};
  const TButtonFaceLayout layout =
      LayoutButtonFace(ClientRect(), FPressed, hasIcon ? &iconSize : nullptr, !Caption().empty(),
                       FIconIndentLeft, FIconIndentRight);
  if (layout.DrawIcon) canvas.Draw(layout.IconAt.x, layout.IconAt.y, icon);
  if (layout.DrawCaption) {
    RECT r = layout.CaptionRect;
    ::DrawTextA(canvas.Handle(), Caption().c_str(), -1, &r, layout.CaptionFormat);
  }
}

void TVelmoraButton::OnMouseDown() {
  if (CanFocus()) SetFocus();
  FPressed = true;
  Repaint();
}

void TVelmoraButton::OnMouseUp() {
  Click();
  FPressed = false;
  Repaint();
}

bool TVelmoraButton::OnDialogKey(WPARAM key, LPARAM keyData) {
  if (!AnswersDialogKey(key, KeyDataToShiftState(keyData), FActive, Cancel, CanFocus()))
    return false;
  Click();
  return true;
}

void TVelmoraButton::OnFocusChanged(UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto* focused = reinterpret_cast<const TWinControl*>(lParam);
  FActive = IsPushButton(focused) ? focused == this : Default;
  TCustomControl::WndProc(msg, wParam, lParam);
  Repaint();
}

void TVelmoraButton::OnMouseEnter() {
  FHover = true;
  Repaint();
}

void TVelmoraButton::OnMouseLeave() {
  FHover = false;
  FPressed = false;
  Repaint();
}

LRESULT TVelmoraButton::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (Designing()) return TCustomControl::WndProc(msg, wParam, lParam);
  switch (msg) {
    case WM_LBUTTONDOWN:
      OnMouseDown();
      return 0;
    case WM_LBUTTONUP:
      OnMouseUp();
      return 0;
    case CM_DIALOGKEY:
      if (OnDialogKey(wParam, lParam)) return 1;
      break;
    case CM_FOCUSCHANGED:
      OnFocusChanged(msg, wParam, lParam);
      return 0;
    case CM_MOUSEENTER:
      OnMouseEnter();
      return 0;
    case CM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

void Register() {
  RegisterComponents("Velmora", {{"TVelmoraButton", [](TComponent* owner) -> TComponent* {
                                    return new TVelmoraButton(owner);
                                  }}});
}

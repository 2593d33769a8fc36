// The image-state push button used for every button of the main window: it
// draws itself from pictures held by image components of its form, one per
// state, stretched over the button, with an optional icon beside or instead
// of the caption. It follows hover, press and focus, answers Enter and
// Escape as its form's default or cancel button, and hands its modal result
// to its form when clicked.
#pragma once

#include <windows.h>

#include "controls/Velmoracommon.h"
#include "framework/CustomControl.h"
#include "framework/ExtCtrls.h"
#include "framework/Form.h"

// The state picture a paint uses.
enum class TButtonFace { Normal, Focused, Hover, Pressed, Disabled };

// First match wins: disabled, pressed, hover, focused, else normal.
TButtonFace ChooseButtonFace(bool enabled, bool pressed, bool hover, bool focused);

// Where the icon and the caption go on a button face.
struct TButtonFaceLayout {
  bool DrawIcon = false;
  POINT IconAt = {0, 0};
  bool DrawCaption = false;
  RECT CaptionRect = {0, 0, 0, 0};
  UINT CaptionFormat = 0;  // for DrawTextA
};
// `icon` is the icon's size when the button has a (non-empty) icon. A pressed
// face moves icon and caption one pixel right and down.
TButtonFaceLayout LayoutButtonFace(const RECT& client, bool pressed, const SIZE* icon,
                                   bool hasCaption, int iconIndentLeft, int iconIndentRight);

// Whether a button takes a dialog key: Enter while it is active, Escape
// while it is the cancel button, no shift key held, and it can take the focus.
bool AnswersDialogKey(WPARAM key, TShiftState shift, bool active, bool cancel, bool canFocus);

class TVelmoraButton : public TCustomControl {
 public:
  explicit TVelmoraButton(TComponent* owner);

  // Image references; the button does not own them. Setting another value
  // repaints; setting the same one does nothing.
  TImage* ImageIcon() const { return FImageIcon; }
  TImage* ImageNormal() const { return FImageNormal; }
  TImage* ImageFocused() const { return FImageFocused; }
  TImage* ImageHover() const { return FImageHover; }
  TImage* ImagePressed() const { return FImagePressed; }
  TImage* ImageDisabled() const { return FImageDisabled; }
  void SetImageIcon(TImage* image) { SetImage(FImageIcon, image); }
  void SetImageNormal(TImage* image) { SetImage(FImageNormal, image); }
  void SetImageFocused(TImage* image) { SetImage(FImageFocused, image); }
  void SetImageHover(TImage* image) { SetImage(FImageHover, image); }
  void SetImagePressed(TImage* image) { SetImage(FImagePressed, image); }
  void SetImageDisabled(TImage* image) { SetImage(FImageDisabled, image); }

  // Inset of icon and caption from the left and right edges, and the gap
  // between icon and caption.
  int IconIndentLeft() const { return FIconIndentLeft; }
  int IconIndentRight() const { return FIconIndentRight; }
  void SetIconIndentLeft(int indent) { SetIndent(FIconIndentLeft, indent); }
  void SetIconIndentRight(int indent) { SetIndent(FIconIndentRight, indent); }

  TModalResult ModalResult = 0;
  bool Cancel = false;   // Escape clicks it
  bool Default = false;  // Enter clicks it while the focus is not on a button

  bool Hovered() const { return FHover; }
  bool Pressed() const { return FPressed; }
  bool Active() const { return FActive; }
  // The picture the current state shows (none when that state has none).
  TImage* FaceImage() const;

  void Click() override;
  void Notification(TComponent* component, TOperation operation) override;
  LONG AccessibleRole() const override;
  const char* AccessibleAction() const override { return "Press"; }

 protected:
  void FillCreateParams(CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Paint() override;
  void ChangeScale(int m, int d) override;

 private:
  void SetImage(TImage*& slot, TImage* image);
  void SetIndent(int& slot, int indent);
  void OnMouseDown();
  void OnMouseUp();
  bool OnDialogKey(WPARAM key, LPARAM keyData);
  void OnFocusChanged(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnMouseEnter();
  void OnMouseLeave();

  bool FHover = false;
  bool FPressed = false;
  bool FActive = false;
  TImage* FImageIcon = nullptr;
  TImage* FImageNormal = nullptr;
  TImage* FImageFocused = nullptr;
  TImage* FImageHover = nullptr;
  TImage* FImagePressed = nullptr;
  TImage* FImageDisabled = nullptr;
  int FIconIndentLeft = 0;
  int FIconIndentRight = 0;
};

// Puts TVelmoraButton on the "Velmora" page of a form designer's palette.
void Register();

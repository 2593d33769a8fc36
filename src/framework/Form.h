// A top-level window: caption, client size, colour, font, centred on the
// screen when first shown, sizeable frame with the system buttons. It keeps
// track of the focused control, tells every control when the focus moves,
// hands the focus on when the focused control hides, runs the Tab key round,
// offers Enter and Escape to its controls and keeps the keyboard cues.
// Closing the main form ends the application.
#pragma once

#include "framework/Control.h"

using TModalResult = int;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  void SetClientSize(int width, int height);
  int ClientWidth() const override;
  int ClientHeight() const override;

  // The pixels per inch the form is laid out for: the design's 96 as built,
  // the screen's from when its window is made (or its bounds are first
  // asked for). Setting it before then keeps that value instead; either way
  // every control scales with it.
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi);

  // Shows the form; the first time, centred on the screen.
  void ShowForm();
  // True while ShowForm is showing the window: a control that asks to be
  // repainted meanwhile is painted with the rest when the show ends.
  bool InShow() const { return inShow_; }
  void Close();

  // The window icon, from an icon resource of the program; none when absent.
  // Set on the window now, or when it is made.
  void SetIconResource(const char* name);

  TModalResult ModalResult = 0;

  // The control that has (or last had) the focus on this form, or none.
  TWinControl* ActiveControl() const { return activeControl_; }
  // Focuses `control` now when the form is the active window, else when it
  // is next activated: another window's user keeps the keyboard.
  void SetActiveControl(TWinControl* control);
  // The next (or previous) control after `current` that the Tab key stops
  // at, going round; none when there is no other.
  TWinControl* FindNextControl(TWinControl* current, bool forward) const;
  void SelectNext(TWinControl* current, bool forward);

  // Offered every queued message for this form's windows before it is
  // dispatched; true when the form handled it (keyboard navigation).
  virtual bool PreProcessMessage(MSG& msg);

 protected:
  void FillCreateParams(CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void SetBounds(int left, int top, int width, int height) override;
  void ApplyBounds() override;
  void BoundsNeeded() const override;
  void HandleCreated() override;
  void ChangeScale(int m, int d) override;

 private:
  void ApplyIcon();
  friend class TWinControl;
  // A control of this form (or the form) got the keyboard focus.
  void FocusedControlChanged(TWinControl* control);
  // A control leaves this form: forget it.
  void ControlGone(TWinControl* control);
  // `control` has just been hidden; `hadFocus` when the keyboard was in it.
  void ControlHidden(TWinControl* control, bool hadFocus);
  // Who takes the focus from `gone`, which can no longer have it, or none.
  TWinControl* FocusHeir(TWinControl* gone) const;
  // The keyboard cues (UISF_HIDEFOCUS, UISF_HIDEACCEL) of every control of
  // the form, kept here: Wine's windows keep none.
  void ChangeUiState(WPARAM actionAndFlags);
  LRESULT UiState();
  void RestoreFocus();
  bool OnDialogKey(WPARAM key, LPARAM keyData);
  void CenterOnScreen();

  int clientWidth_ = 0;
  int clientHeight_ = 0;
  // A client size whose frame is not yet measured into the bounds.
  bool frameNeeded_ = false;
  bool shownOnce_ = false;
  bool inShow_ = false;
  int pixelsPerInch_ = kDesignPixelsPerInch;
  bool scaleSettled_ = false;
  std::string iconName_;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  // Known once asked for: the system's setting is read on the first query.
  bool uiStateKnown_ = false;
  WORD uiState_ = 0;
};

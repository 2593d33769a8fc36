// A top-level window: caption, client size, colour, centred on the screen when
// first shown, sizeable frame with the system buttons. Closing the main form
// ends the application.
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

  // Shows the form; the first time, centred on the screen.
  void ShowForm();
  void Close();

  TModalResult ModalResult = 0;

  // Offered every queued message for this form's windows before it is
  // dispatched; true when the form handled it (keyboard navigation).
  virtual bool PreProcessMessage(MSG& msg);

 protected:
  void FillCreateParams(CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void ApplyBounds() override;

 private:
  void CenterOnScreen();
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  bool shownOnce_ = false;
};

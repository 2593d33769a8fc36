// A control that draws itself: a window with a canvas for Paint, optionally
// double-buffered (the whole face composed off screen and shown at once).
#pragma once

#include "framework/Control.h"
#include "framework/Graphics.h"

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);

  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool on) { doubleBuffered_ = on; }

  // Background and face onto `dc`, at its origin, as the window shows them.
  void PaintTo(HDC dc);

 protected:
  // Draws the face on Canvas(), whose brush is the control's colour and
  // whose font is the control's font; the background is already there.
  virtual void Paint() {}
  TCanvas* Canvas() { return &canvas_; }

  void FillCreateParams(CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void PaintFace(HDC dc);
  void OnPaint();

  TCanvas canvas_;
  bool doubleBuffered_ = false;
};

// Panels (a bevel and a centred caption) and labels (text in a box: aligned,
// wrapped, optionally see-through; a click fires OnClick, and so does Enter
// while a label with TabStop has the focus, which it shows by the system's
// focus rectangle once the keyboard is in use).
#pragma once

#include "framework/CustomControl.h"

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* owner);

  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut bevel);

 protected:
  void FillCreateParams(CreateParams& params) override;
  void Paint() override;

 private:
  TBevelCut bevelOuter_ = bvRaised;
};

// The one-pixel edge a bevel draws (DrawEdge flags), 0 for none.
UINT BevelEdge(TBevelCut bevel);

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TCustomControl {
 public:
  explicit TLabel(TComponent* owner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout layout);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);
  // Shows the parent's background instead of its own colour.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  // A label on one line takes the size of its caption in the font the
  // system really gives, keeping its top and its left edge (its centre when
  // centred, its right edge when right-justified); a wrapping label or one
  // without a caption keeps its box. On unless switched off.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);

  void SetBounds(int left, int top, int width, int height) override;

  // A label that reacts to a click is a link to screen readers; any other
  // is static text.
  LONG AccessibleRole() const override;
  const char* AccessibleAction() const override { return OnClick ? "Jump" : nullptr; }

 protected:
  void FillCreateParams(CreateParams& params) override;
  void EraseBackground(HDC dc) override;
  void Paint() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Measures the caption with a window now, else when the bounds are next
  // needed: a run that shows nothing measures nothing.
  void AdjustSize() override;
  void BoundsNeeded() const override;

 private:
  bool SizesItself() const;
  void FitToCaption();

  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool autoSize_ = true;
  bool sizePending_ = false;
};

// DrawTextA flags of a label's text.
UINT LabelTextFormat(TAlignment alignment, bool wordWrap);
// Moves `box` down so that text `textHeight` high sits at the layout's place.
RECT LayoutTextBox(const RECT& box, int textHeight, TTextLayout layout);

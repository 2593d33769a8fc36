#include "framework/StdCtrls.h"

#include <oleacc.h>

#include "framework/Handles.h"

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {}

void TPanel::FillCreateParams(CreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.className = "TPanel";
}

void TPanel::SetBevelOuter(TBevelCut bevel) {
  if (bevel == bevelOuter_) return;
  bevelOuter_ = bevel;
  Invalidate();
}

UINT BevelEdge(TBevelCut bevel) {
  switch (bevel) {
    case bvRaised:
      return BDR_RAISEDINNER;  // light above and left, shadow below and right
    case bvLowered:
      return BDR_SUNKENOUTER;  // shadow above and left, light below and right
    case bvNone:
      break;
  }
  return 0;
}

void TPanel::Paint() {
  RECT rc = ClientRect();
  if (const UINT edge = BevelEdge(bevelOuter_)) {
    ::DrawEdge(Canvas()->Handle(), &rc, edge, BF_RECT);
    ::InflateRect(&rc, -1, -1);
  }
  if (Caption().empty()) return;
  Canvas()->Brush.Style = TBrushStyle::bsClear;
  ::DrawTextA(Canvas()->Handle(), Caption().c_str(), -1, &rc,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

TLabel::TLabel(TComponent* owner) : TCustomControl(owner) {}

void TLabel::FillCreateParams(CreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.className = "TLabel";
}

void TLabel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout layout) {
  if (layout == layout_) return;
  layout_ = layout;
  Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap) {
  if (wordWrap == wordWrap_) return;
  wordWrap_ = wordWrap;
  AdjustSize();
  Invalidate();
}

void TLabel::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Invalidate();
}

LONG TLabel::AccessibleRole() const {
  return OnClick ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT;
}

void TLabel::SetAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  AdjustSize();
}

void TLabel::SetBounds(int left, int top, int width, int height) {
  TCustomControl::SetBounds(left, top, width, height);
  AdjustSize();
}

bool TLabel::SizesItself() const { return autoSize_ && !wordWrap_ && !Caption().empty(); }

void TLabel::AdjustSize() {
  if (!SizesItself()) return;
  sizePending_ = true;
  if (HandleAllocated()) FitToCaption();
}

void TLabel::BoundsNeeded() const {
  if (sizePending_) const_cast<TLabel*>(this)->FitToCaption();
}

void TLabel::FitToCaption() {
  sizePending_ = false;
  if (!SizesItself()) return;
  UniqueDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return;
  RECT text = {0, 0, 0, 0};
  {
    ScopedSelectObject font(dc.get(), Font().Handle());
    ::DrawTextA(dc.get(), Caption().c_str(), -1, &text,
                LabelTextFormat(alignment_, false) | DT_CALCRECT);
  }
  int left = Left();
  if (alignment_ == taCenter) left += (Width() - text.right) / 2;
  if (alignment_ == taRightJustify) left += Width() - text.right;
  TCustomControl::SetBounds(left, Top(), text.right, text.bottom);
}

UINT LabelTextFormat(TAlignment alignment, bool wordWrap) {
  UINT format = DT_EXPANDTABS | (wordWrap ? DT_WORDBREAK : 0);
  switch (alignment) {
    case taCenter:
      return format | DT_CENTER;
    case taRightJustify:
      return format | DT_RIGHT;
    case taLeftJustify:
      break;
  }
  return format | DT_LEFT;
}

RECT LayoutTextBox(const RECT& box, int textHeight, TTextLayout layout) {
  RECT r = box;
  const int height = box.bottom - box.top;
  if (layout == tlCenter) ::OffsetRect(&r, 0, (height - textHeight) / 2);
  if (layout == tlBottom) ::OffsetRect(&r, 0, height - textHeight);
  return r;
}

void TLabel::EraseBackground(HDC dc) {
  if (transparent_)
    EraseWithParentBackground(dc);
  else
    TCustomControl::EraseBackground(dc);
}

void TLabel::Paint() {
  if (Caption().empty()) return;
  Canvas()->Brush.Style = TBrushStyle::bsClear;
  HDC dc = Canvas()->Handle();
  const UINT format = LabelTextFormat(alignment_, wordWrap_);
  RECT box = ClientRect();
  if (layout_ != tlTop) {
    RECT measured = box;
    ::DrawTextA(dc, Caption().c_str(), -1, &measured, format | DT_CALCRECT);
    box = LayoutTextBox(box, measured.bottom - measured.top, layout_);
  }
  ::DrawTextA(dc, Caption().c_str(), -1, &box, format);
  if (Focused() && !(Perform(WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    // Around the box, which a single-line label has the size of its text.
    const RECT client = ClientRect();
    ::DrawFocusRect(dc, &client);
  }
}

LRESULT TLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE:
      // A link keeps Enter: it opens, rather than clicking a default button.
      if (wParam == VK_RETURN && OnClick) return DLGC_WANTALLKEYS;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN && OnClick && KeyDataToShiftState(lParam) == 0) {
        Click();
        return 0;
      }
      break;
    case WM_UPDATEUISTATE:
      if (Focused()) Invalidate();  // the focus rectangle comes or goes
      break;
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

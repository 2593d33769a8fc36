#include "framework/ExtCtrls.h"

TImage::TImage(TComponent* owner) : TCustomControl(owner) {
  picture_.OnChange = [this] { Invalidate(); };
}

void TImage::FillCreateParams(CreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.className = "TImage";
}

void TImage::Paint() {
  if (const TGraphic* graphic = picture_.Graphic()) Canvas()->Draw(0, 0, graphic);
}

void TImage::ChangeScale(int m, int d) {
  TCustomControl::ChangeScale(m, d);
  picture_.SetPixelsPerInch(::MulDiv(picture_.PixelsPerInch(), m, d));
}

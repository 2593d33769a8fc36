#include "controls/Velmoracommon.h"

TGraphic* GetGraphic(const TImage* image) {
  return image ? image->Picture()->Graphic() : nullptr;
}

void AlignRect(const RECT& bounds, RECT& rect, TAlignment horizontal,
               TAlignmentVertical vertical) {
  switch (horizontal) {
    case taLeftJustify:
      ::OffsetRect(&rect, bounds.left, 0);
      break;
    case taRightJustify:
      ::OffsetRect(&rect, bounds.right - rect.right, 0);
      break;
    case taCenter:
      ::OffsetRect(&rect, (bounds.left + bounds.right - rect.left - rect.right) / 2, 0);
      break;
  }
  switch (vertical) {
    case taTop:
      ::OffsetRect(&rect, 0, bounds.top);
      break;
    case taBottom:
      ::OffsetRect(&rect, 0, bounds.bottom - rect.bottom);
      break;
    case taMiddle:
      ::OffsetRect(&rect, 0, (bounds.top + bounds.bottom - rect.top - rect.bottom) / 2);
      break;
  }
}

bool PointEmpty(const POINT& point) { return point.x == -1 || point.y == -1; }

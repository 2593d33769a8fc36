// Drawing routines shared by the Velmora controls.
#pragma once

#include <windows.h>

#include "framework/Control.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"

enum TAlignmentVertical { taTop, taBottom, taMiddle };

// The graphic of the image component's picture; none for no image or no
// graphic.
TGraphic* GetGraphic(const TImage* image);

// Moves `rect` within `bounds` (size kept). Left and top alignment add the
// bound's edge to the rectangle's position, so they align a rectangle that
// starts at the origin; centring halves with truncation toward zero.
void AlignRect(const RECT& bounds, RECT& rect, TAlignment horizontal, TAlignmentVertical vertical);

// A point of -1 on either axis stands for no point.
bool PointEmpty(const POINT& point);

#include "framework/CustomControl.h"

#include "framework/Handles.h"

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::FillCreateParams(CreateParams& params) {
  TWinControl::FillCreateParams(params);
  params.className = "TCustomControl";
  // Faces are laid out on the whole client area: any resize redraws all.
  params.classStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TCustomControl::PaintTo(HDC dc) {
  EraseBackground(dc);
  PaintFace(dc);
}

void TCustomControl::PaintFace(HDC dc) {
  canvas_.SetHandle(dc);
  canvas_.Brush = TBrush{Color(), TBrushStyle::bsSolid};
  canvas_.Font = Font();
  Paint();
  canvas_.SetHandle(nullptr);
}

void TCustomControl::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(WindowHandle(), &ps);
  if (!dc) return;
  if (doubleBuffered_) {
    const RECT client = ClientRect();
    UniqueDc buffer(::CreateCompatibleDC(dc));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (buffer && bitmap) {
      {
        ScopedSelectObject select(buffer.get(), bitmap.get());
        PaintTo(buffer.get());
        ::BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
      }
    } else {
      PaintTo(dc);
    }
  } else {
    PaintFace(dc);  // WM_ERASEBKGND has laid the background
  }
  ::EndPaint(WindowHandle(), &ps);
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      if (doubleBuffered_) return 1;  // erased off screen, with the face
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();  // a face may show the focus
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

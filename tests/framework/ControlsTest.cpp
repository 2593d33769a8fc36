// Controls on real windows (Xvfb): inherited colour and font, places, docking,
// cursor, label clicks, see-through labels, text layout, bevels, pictures
// and the mouse-enter and mouse-leave notifications.
#include <gtest/gtest.h>

#include <memory>

#include "framework/CustomControl.h"
#include "framework/ExtCtrls.h"
#include "framework/Form.h"
#include "framework/StdCtrls.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::PixelCanvas;
using window_test::PumpUntil;
using window_test::SpyControl;

std::unique_ptr<TForm> MakeForm(int width, int height) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Quellix framework test");
  form->SetColor(RGB(0xFF, 0xFF, 0xFF));
  form->SetClientSize(width, height);
  return form;
}

template <typename T>
T* Add(TForm* form, TWinControl* parent, int left, int top, int width, int height) {
  T* control = new T(form);
  control->SetBounds(left, top, width, height);
  control->SetParent(parent);
  return control;
}

// The window's place in its parent's client area, as the window system has it.
RECT PlaceOf(TWinControl* control) {
  RECT rc;
  ::GetWindowRect(control->Handle(), &rc);
  ::MapWindowPoints(nullptr, ::GetParent(control->Handle()), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

bool SamePlace(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The box around every pixel that is not `background`.
RECT InkBox(const PixelCanvas& canvas, COLORREF background) {
  RECT box = {canvas.width(), canvas.height(), -1, -1};
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x)
      if (canvas.Pixel(x, y) != background) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

TEST(Controls, ColourAndFontComeFromTheParentUntilSet) {
  auto form = MakeForm(200, 100);
  TPanel* panel = Add<TPanel>(form.get(), form.get(), 0, 0, 100, 50);
  TLabel* label = Add<TLabel>(form.get(), panel, 0, 0, 50, 20);
  EXPECT_EQ(panel->Color(), RGB(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(label->Color(), RGB(0xFF, 0xFF, 0xFF));
  panel->SetColor(RGB(1, 2, 3));
  EXPECT_FALSE(panel->ParentColor());
  EXPECT_EQ(label->Color(), RGB(1, 2, 3));
  form->SetColor(RGB(9, 9, 9));
  EXPECT_EQ(panel->Color(), RGB(1, 2, 3));
  panel->SetParentColor(true);
  EXPECT_EQ(label->Color(), RGB(9, 9, 9));
  // A form's own default is the system's face colour, handed down as RGB.
  form->SetColor(clBtnFace);
  EXPECT_EQ(label->Color(), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(TForm(nullptr).Color(), ::GetSysColor(COLOR_BTNFACE));

  TFont big;
  big.Name = "Trebuchet MS";
  big.SetSize(20);
  form->SetFont(big);
  EXPECT_EQ(label->Font(), big);
  TFont red = big;
  red.Color = RGB(0xFF, 0, 0);
  panel->SetFont(red);
  EXPECT_EQ(label->Font(), red);
  EXPECT_TRUE(label->ParentFont());
  EXPECT_FALSE(panel->ParentFont());
  label->SetFont(big);
  panel->SetFont(TFont());
  EXPECT_EQ(label->Font(), big);
}

TEST(Controls, AHiddenControlMovedWhileHiddenShowsAtItsNewPlace) {
  auto form = MakeForm(300, 200);
  form->ShowForm();
  TPanel* control = Add<TPanel>(form.get(), form.get(), 10, 10, 40, 30);
  control->Hide();
  control->SetTop(70);
  control->SetLeft(55);
  control->Show();
  EXPECT_TRUE(::IsWindowVisible(control->Handle()));
  EXPECT_TRUE(SamePlace(PlaceOf(control), RECT{55, 70, 95, 100}));
}

TEST(Controls, DockedPanelsFollowTheFormWhileOthersStay) {
  auto form = MakeForm(300, 200);
  TPanel* top = Add<TPanel>(form.get(), form.get(), 0, 0, 300, 30);
  top->SetAlign(TAlign::alTop);
  TPanel* bottom = Add<TPanel>(form.get(), form.get(), 0, 180, 300, 20);
  bottom->SetAlign(TAlign::alBottom);
  TPanel* fixed = Add<TPanel>(form.get(), form.get(), 10, 50, 60, 40);
  // Docked later, while hidden, from a place far down: it goes under the top panel.
  TPanel* late = Add<TPanel>(form.get(), form.get(), 150, 120, 300, 25);
  late->Hide();
  late->SetAlign(TAlign::alTop);
  form->ShowForm();
  EXPECT_TRUE(SamePlace(PlaceOf(late), RECT{150, 120, 450, 145})) << "not placed while hidden";

  form->SetClientSize(420, 260);
  window_test::Pump();
  EXPECT_EQ(form->ClientWidth(), 420);
  EXPECT_TRUE(SamePlace(PlaceOf(top), RECT{0, 0, 420, 30}));
  EXPECT_TRUE(SamePlace(PlaceOf(bottom), RECT{0, 240, 420, 260}));
  EXPECT_TRUE(SamePlace(PlaceOf(fixed), RECT{10, 50, 70, 90}));

  late->Show();
  EXPECT_TRUE(SamePlace(PlaceOf(late), RECT{0, 30, 420, 55}));
  late->Hide();
  form->SetClientSize(250, 150);
  late->Show();
  EXPECT_TRUE(SamePlace(PlaceOf(late), RECT{0, 30, 250, 55})) << "it stays docked";
  EXPECT_TRUE(SamePlace(PlaceOf(bottom), RECT{0, 130, 250, 150}));
  EXPECT_TRUE(SamePlace(PlaceOf(fixed), RECT{10, 50, 70, 90}));
}

TEST(Controls, ShowingAndHidingDrawAtOnceAndADockedControlShowsInItsPlace) {
  auto form = MakeForm(300, 200);
  TPanel* top = Add<TPanel>(form.get(), form.get(), 0, 0, 300, 30);
  top->SetAlign(TAlign::alTop);
  auto* docked = Add<SpyControl>(form.get(), form.get(), 150, 120, 300, 25);
  docked->Hide();
  docked->SetAlign(TAlign::alTop);
  TPanel* plain = Add<TPanel>(form.get(), form.get(), 10, 100, 60, 40);
  form->ShowForm();
  window_test::Pump();
  RECT dirty;

  docked->heard.clear();
  docked->Show();
  ASSERT_GE(docked->Count(WM_MOVE), 1);
  for (const SpyControl::Heard& h : docked->heard) {
    if (h.msg == WM_MOVE) {
      EXPECT_EQ(h.wParam, 0u) << "moved while on screen";
    }
  }
  EXPECT_TRUE(SamePlace(PlaceOf(docked), RECT{0, 30, 300, 55}));
  EXPECT_FALSE(::GetUpdateRect(docked->Handle(), &dirty, FALSE)) << "not drawn yet";

  plain->Hide();
  EXPECT_FALSE(::GetUpdateRect(form->Handle(), &dirty, FALSE)) << "uncovered, not drawn yet";
  plain->Show();
  EXPECT_FALSE(::GetUpdateRect(plain->Handle(), &dirty, FALSE)) << "shown, not drawn yet";
}

TEST(Controls, AHiddenControlGetsItsWindowWhenItFirstShows) {
  auto form = MakeForm(200, 100);
  TPanel* before = Add<TPanel>(form.get(), form.get(), 0, 0, 50, 20);
  TPanel* hidden = Add<TPanel>(form.get(), form.get(), 10, 10, 50, 20);
  hidden->Hide();
  TLabel* inside = Add<TLabel>(form.get(), hidden, 0, 0, 20, 10);
  TPanel* after = Add<TPanel>(form.get(), form.get(), 20, 20, 50, 20);
  form->ShowForm();
  EXPECT_FALSE(hidden->HandleAllocated());
  EXPECT_FALSE(inside->HandleAllocated());
  hidden->Show();
  ASSERT_TRUE(hidden->HandleAllocated());
  EXPECT_TRUE(::IsWindowVisible(hidden->WindowHandle()));
  EXPECT_TRUE(inside->HandleAllocated()) << "with its children";
  EXPECT_TRUE(SamePlace(PlaceOf(hidden), RECT{10, 10, 60, 30}));
  EXPECT_EQ(::GetWindow(before->Handle(), GW_HWNDNEXT), hidden->Handle()) << "under the one before";
  EXPECT_EQ(::GetWindow(hidden->Handle(), GW_HWNDNEXT), after->Handle()) << "over the one after";
}

TEST(Controls, HandCursorOverTheClientAreaOnly) {
  auto form = MakeForm(200, 100);
  TLabel* link = Add<TLabel>(form.get(), form.get(), 0, 0, 50, 20);
  TLabel* plain = Add<TLabel>(form.get(), form.get(), 60, 0, 50, 20);
  link->SetCursor(crHandPoint);
  form->ShowForm();
  const HCURSOR hand = ::LoadCursorA(nullptr, IDC_HAND);
  const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
  ::SetCursor(arrow);
  EXPECT_TRUE(::SendMessageA(link->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link->Handle()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(::GetCursor(), hand);
  ::SendMessageA(plain->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(plain->Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), arrow);
}

TEST(Controls, ALabelClicksWhenReleasedOverItself) {
  auto form = MakeForm(200, 100);
  TLabel* label = Add<TLabel>(form.get(), form.get(), 10, 10, 50, 20);
  int clicks = 0;
  label->OnClick = [&](TComponent* sender) {
    EXPECT_EQ(sender, label);
    ++clicks;
  };
  form->ShowForm();
  HWND w = label->Handle();
  ::SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
  EXPECT_EQ(clicks, 1);
  // Not held: a press that leaves the label is no click, even released back over it.
  ::SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageA(w, WM_MOUSELEAVE, 0, 0);
  ::SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(clicks, 1);
  // A release without a press on the label: nothing.
  ::SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(clicks, 1);
}

TEST(Controls, ATransparentLabelShowsItsParentsBackground) {
  auto form = MakeForm(200, 100);
  TPanel* panel = Add<TPanel>(form.get(), form.get(), 20, 20, 100, 60);
  panel->SetColor(RGB(0xC0, 0, 0));
  panel->SetBevelOuter(bvNone);
  TLabel* label = Add<TLabel>(form.get(), panel, 30, 10, 40, 20);
  label->SetColor(RGB(0, 0xC0, 0));
  PixelCanvas canvas(40, 20, RGB(0, 0, 0));
  label->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(0, 0), RGB(0, 0xC0, 0));
  label->SetTransparent(true);
  label->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(0, 0), RGB(0xC0, 0, 0));
  EXPECT_EQ(canvas.Pixel(39, 19), RGB(0xC0, 0, 0));
}

TEST(Controls, LabelTextIsPlacedByAlignmentAndLayout) {
  struct Format {
    TAlignment alignment;
    bool wrap;
    UINT expected;
  };
  const Format formats[] = {
      {taLeftJustify, false, DT_EXPANDTABS | DT_LEFT},
      {taCenter, true, DT_EXPANDTABS | DT_WORDBREAK | DT_CENTER},
      {taRightJustify, false, DT_EXPANDTABS | DT_RIGHT},
  };
  for (const Format& f : formats) EXPECT_EQ(LabelTextFormat(f.alignment, f.wrap), f.expected);

  struct Layout {
    TTextLayout layout;
    int textHeight;
    LONG top;
  };
  const Layout layouts[] = {{tlTop, 18, 5}, {tlCenter, 18, 23}, {tlCenter, 19, 22},
                            {tlBottom, 18, 41}, {tlCenter, 70, -3}};
  for (const Layout& l : layouts) {
    const RECT r = LayoutTextBox(RECT{3, 5, 50, 59}, l.textHeight, l.layout);
    EXPECT_EQ(r.top, l.top) << l.layout << " " << l.textHeight;
    EXPECT_EQ(r.bottom - r.top, 54);
    EXPECT_EQ(r.left, 3);
  }

  // Drawn: two wrapped lines, centred both ways in a box of the window's
  // left column.
  auto form = MakeForm(200, 100);
  TLabel* label = Add<TLabel>(form.get(), form.get(), 0, 0, 143, 54);
  TFont font;
  font.Name = "Trebuchet MS";
  font.SetSize(9);
  label->SetFont(font);
  label->SetCaption("Protection against GWX executing:");
  label->SetAlignment(taCenter);
  label->SetLayout(tlCenter);
  label->SetWordWrap(true);
  PixelCanvas canvas(143, 54);
  label->PaintTo(canvas.dc());
  const RECT ink = InkBox(canvas, RGB(0xFF, 0xFF, 0xFF));
  ASSERT_LT(ink.left, ink.right) << "nothing drawn";
  EXPECT_GT(ink.bottom - ink.top, 18) << "two lines";
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 27, 4);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 71.5, 4);
}

TEST(Controls, PanelsDrawTheirBevelAndCentreTheirCaption) {
  const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
  const COLORREF face = RGB(0x30, 0x60, 0x90);
  struct Case {
    TBevelCut bevel;
    COLORREF topLeft, bottomRight;
  };
  const Case cases[] = {{bvRaised, light, shadow}, {bvLowered, shadow, light}, {bvNone, face, face}};
  auto form = MakeForm(200, 100);
  TPanel* panel = Add<TPanel>(form.get(), form.get(), 0, 0, 120, 40);
  panel->SetColor(face);
  for (const Case& c : cases) {
    panel->SetBevelOuter(c.bevel);
    PixelCanvas canvas(120, 40, RGB(0, 0, 0));
    panel->PaintTo(canvas.dc());
    EXPECT_EQ(canvas.Pixel(0, 0), c.topLeft) << c.bevel;
    EXPECT_EQ(canvas.Pixel(60, 0), c.topLeft) << c.bevel;
    EXPECT_EQ(canvas.Pixel(119, 39), c.bottomRight) << c.bevel;
    EXPECT_EQ(canvas.Pixel(119, 20), c.bottomRight) << c.bevel;
    EXPECT_EQ(canvas.Pixel(1, 1), face) << c.bevel << ": one pixel of bevel";
  }
  panel->SetBevelOuter(bvNone);
  panel->SetCaption("Copyright");
  PixelCanvas canvas(120, 40, RGB(0, 0, 0));
  panel->PaintTo(canvas.dc());
  const RECT ink = InkBox(canvas, face);
  ASSERT_LT(ink.left, ink.right);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 60, 3);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20, 3);
}

TEST(Controls, AnImageShowsItsPictureAtNaturalSizeOverItsParentsColour) {
  auto form = MakeForm(200, 100);
  TImage* image = Add<TImage>(form.get(), form.get(), 0, 0, 20, 20);
  image->Picture()->SetGraphic(window_test::SolidImage(8, 6, RGB(0x10, 0x80, 0x10)));
  PixelCanvas canvas(20, 20, RGB(0, 0, 0));
  image->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(0, 0), RGB(0x10, 0x80, 0x10));
  EXPECT_EQ(canvas.Pixel(7, 5), RGB(0x10, 0x80, 0x10));
  EXPECT_EQ(canvas.Pixel(8, 5), RGB(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(canvas.Pixel(7, 6), RGB(0xFF, 0xFF, 0xFF));
  // A picture that changes repaints the image.
  form->ShowForm();
  window_test::Pump();
  RECT dirty;
  ASSERT_FALSE(::GetUpdateRect(image->Handle(), &dirty, FALSE));
  image->Picture()->SetGraphic(nullptr);
  EXPECT_TRUE(::GetUpdateRect(image->Handle(), &dirty, FALSE));
}

TEST(Controls, MouseEnterAndLeaveFollowThePointer) {
  auto form = MakeForm(300, 200);
  auto* spy = Add<SpyControl>(form.get(), form.get(), 50, 50, 100, 60);
  form->ShowForm();
  window_test::Pump();
  RECT rc;
  ::GetWindowRect(spy->Handle(), &rc);
  ASSERT_TRUE(::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
  ::SendMessageA(spy->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 30));
  ::SendMessageA(spy->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(51, 30));
  EXPECT_EQ(spy->Count(CM_MOUSEENTER), 1) << "one enter per visit";
  ASSERT_NE(spy->Last(CM_MOUSEENTER), nullptr);
  EXPECT_EQ(spy->Last(CM_MOUSEENTER)->lParam, reinterpret_cast<LPARAM>(spy));
  EXPECT_EQ(spy->Count(CM_MOUSELEAVE), 0);

  ::GetWindowRect(form->Handle(), &rc);
  ASSERT_TRUE(::SetCursorPos(rc.right + 40, rc.bottom + 40));
  EXPECT_TRUE(PumpUntil([&] { return spy->Count(CM_MOUSELEAVE) == 1; }, 10000))
      << "TrackMouseEvent reported no leave";
  // Back in: a new visit.
  ::SendMessageA(spy->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 30));
  EXPECT_EQ(spy->Count(CM_MOUSEENTER), 2);
}

}  // namespace

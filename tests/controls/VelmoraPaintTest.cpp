// What a button paints, read back from an off-screen bitmap.
#include <gtest/gtest.h>

#include <memory>

#include "controls/Velmorabutton.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::PixelCanvas;

const COLORREF kBackground = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kNormal = RGB(0xC0, 0x20, 0x20);
const COLORREF kHover = RGB(0x20, 0xC0, 0x20);
const COLORREF kFocused = RGB(0x20, 0x20, 0xC0);
const COLORREF kPressed = RGB(0xC0, 0xC0, 0x20);
const COLORREF kDisabled = RGB(0x80, 0x80, 0x80);
const COLORREF kIcon = RGB(0xC0, 0x20, 0xC0);

// A form with a button whose every state has a picture of its own colour.
struct Fixture {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TVelmoraButton* button = new TVelmoraButton(form.get());
  TImage* Picture(COLORREF colour, int width = 2, int height = 2) {
    auto* image = new TImage(form.get());
    image->Picture()->SetGraphic(window_test::SolidImage(width, height, colour));
    return image;
  }
  Fixture(int width = 60, int height = 30) {
    form->SetCaption("Quellix button paint test");
    form->SetColor(kBackground);
    form->SetClientSize(300, 200);
    button->SetBounds(10, 10, width, height);
    button->SetParent(form.get());
    button->SetImageNormal(Picture(kNormal));
    button->SetImageHover(Picture(kHover));
    button->SetImageFocused(Picture(kFocused));
    button->SetImagePressed(Picture(kPressed));
    button->SetImageDisabled(Picture(kDisabled));
  }
  // The face as it would be painted now.
  std::unique_ptr<PixelCanvas> Face() {
    auto canvas = std::make_unique<PixelCanvas>(button->Width(), button->Height(), RGB(0, 0, 0));
    button->PaintTo(canvas->dc());
    return canvas;
  }
  COLORREF Middle() { return Face()->Pixel(button->Width() / 2, button->Height() / 2); }
};

// The box around every pixel that is neither `background` nor `other`.
RECT InkBox(const PixelCanvas& canvas, COLORREF background, COLORREF other = CLR_INVALID) {
  RECT box = {canvas.width(), canvas.height(), -1, -1};
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const COLORREF c = canvas.Pixel(x, y);
      if (c == background || c == other) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  return box;
}

TEST(VelmoraPaint, EachStateShowsItsOwnPictureStretchedOverTheButton) {
  Fixture f;
  auto face = f.Face();
  EXPECT_EQ(face->Pixel(0, 0), kNormal);
  EXPECT_EQ(face->Pixel(59, 29), kNormal) << "a 2 x 2 picture covers all 60 x 30";
  f.button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(f.Middle(), kHover);
  f.button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(f.Middle(), kPressed);
  f.button->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(f.button->Pressed());
  EXPECT_EQ(f.Middle(), kNormal);
  f.button->Perform(CM_MOUSEENTER, 0, 0);
  f.button->SetEnabled(false);
  EXPECT_EQ(f.Middle(), kDisabled) << "whatever its flags";
  f.button->SetEnabled(true);

  f.form->ShowForm();
  f.button->SetFocus();
  f.button->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(f.Middle(), kFocused);
  f.button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(f.Middle(), kHover) << "hover wins over focus";
}

TEST(VelmoraPaint, AStateWithoutAPictureDrawsOnlyIconAndCaption) {
  Fixture f(100, 40);
  f.button->SetImageDisabled(nullptr);
  f.button->SetImageIcon(f.Picture(kIcon, 10, 10));
  f.button->SetEnabled(false);
  auto face = f.Face();
  EXPECT_EQ(face->Pixel(0, 0), kBackground) << "the parent's colour, no other state's picture";
  EXPECT_EQ(face->Pixel(50, 20), kIcon) << "the icon still shows, centred";
  EXPECT_EQ(face->Pixel(45, 15), kIcon);
  EXPECT_EQ(face->Pixel(44, 15), kBackground);
}

TEST(VelmoraPaint, IconAndCaptionSitWithinTheIndents) {
  Fixture f(100, 40);
  f.button->SetImageNormal(nullptr);
  f.button->SetImagePressed(nullptr);
  f.button->SetImageHover(nullptr);
  f.button->SetImageIcon(f.Picture(kIcon, 10, 10));
  f.button->SetIconIndentLeft(8);
  f.button->SetIconIndentRight(8);
  f.button->SetCaption("Wide caption that runs past the end");
  TFont font;
  font.Name = "Trebuchet MS";
  font.SetSize(9);
  font.Color = RGB(0, 0, 0);
  f.button->SetFont(font);

  for (int pressed = 0; pressed < 2; ++pressed) {
    if (pressed) f.button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    auto face = f.Face();
    EXPECT_EQ(face->Pixel(8 + pressed, 15 + pressed), kIcon) << pressed;
    EXPECT_EQ(face->Pixel(17 + pressed, 24 + pressed), kIcon) << pressed;
    EXPECT_EQ(face->Pixel(7 + pressed, 15 + pressed), kBackground) << pressed;
    // The caption: from 8 + 10 + 8 to 100 - 8, one line, cut at the edge.
    const RECT caption = InkBox(*face, kBackground, kIcon);
    ASSERT_LT(caption.left, caption.right) << pressed;
    EXPECT_GE(caption.left, 26 + pressed) << pressed;
    EXPECT_LE(caption.right, 92 + pressed) << pressed;
    EXPECT_GE(caption.right, 85 + pressed) << "a long caption reaches the edge";
    EXPECT_LT(caption.bottom - caption.top, 18) << "one line";
  }
}

TEST(VelmoraPaint, ACaptionAloneIsCentredAndAnAmpersandUnderlines) {
  Fixture f(120, 40);
  f.button->SetImageNormal(nullptr);
  TFont font;
  font.Name = "Trebuchet MS";
  font.SetSize(9);
  font.Color = RGB(0, 0, 0);
  f.button->SetFont(font);
  f.button->SetCaption("STOP");  // no descenders: an underline shows below
  const RECT plain = InkBox(*f.Face(), kBackground);
  ASSERT_LT(plain.left, plain.right);
  EXPECT_NEAR((plain.left + plain.right) / 2.0, 60, 2);
  EXPECT_NEAR((plain.top + plain.bottom) / 2.0, 20, 3);

  f.button->SetCaption("&STOP");
  const RECT marked = InkBox(*f.Face(), kBackground);
  EXPECT_EQ(marked.right - marked.left, plain.right - plain.left) << "no ampersand shown";
  EXPECT_GT(marked.bottom, plain.bottom) << "the S is underlined";
}

TEST(VelmoraPaint, AFreedImageIsNoLongerDrawn) {
  Fixture f(100, 40);
  TImage* icon = f.Picture(kIcon, 10, 10);
  f.button->SetImageIcon(icon);
  EXPECT_EQ(f.Middle(), kIcon);
  delete f.button->ImageNormal();
  delete icon;
  EXPECT_EQ(f.button->ImageIcon(), nullptr);
  EXPECT_EQ(f.button->ImageNormal(), nullptr);
  auto face = f.Face();
  EXPECT_EQ(face->Pixel(50, 20), kBackground);
  EXPECT_EQ(face->Pixel(0, 0), kBackground);
}

}  // namespace

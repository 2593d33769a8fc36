#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "framework/PngImage.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::EncodePng;
using window_test::PixelCanvas;

TPngImage PngOf(int width, int height, const std::vector<uint8_t>& rgba) {
  TPngImage image;
  const std::vector<uint8_t> png = EncodePng(width, height, PNG_FORMAT_RGBA, rgba);
  EXPECT_TRUE(image.LoadFromMemory(png.data(), png.size()));
  return image;
}

// Channel by channel within `tolerance`.
::testing::AssertionResult Near(COLORREF actual, COLORREF expected, int tolerance = 1) {
  const int d[] = {GetRValue(actual) - GetRValue(expected), GetGValue(actual) - GetGValue(expected),
                   GetBValue(actual) - GetBValue(expected)};
  for (int v : d)
    if (v > tolerance || v < -tolerance)
      return ::testing::AssertionFailure()
             << std::hex << "got 0x" << actual << ", expected 0x" << expected;
  return ::testing::AssertionSuccess();
}

TEST(Canvas, StretchDrawBlendsEachPixelThroughItsAlpha) {
  // Left pixel: red at half opacity; right pixel: fully transparent.
  const TPngImage image = PngOf(2, 1, {255, 0, 0, 128, 0, 0, 255, 0});
  PixelCanvas target(12, 6, RGB(0xFF, 0xFF, 0xFF));
  TCanvas canvas(target.dc());
  canvas.StretchDraw(RECT{2, 1, 10, 5}, &image);  // each source pixel becomes 4 x 4
  for (int y = 1; y < 5; ++y) {
    for (int x = 2; x < 6; ++x) EXPECT_TRUE(Near(target.Pixel(x, y), RGB(255, 127, 127))) << x << "," << y;
    for (int x = 6; x < 10; ++x) EXPECT_TRUE(Near(target.Pixel(x, y), RGB(255, 255, 255), 0)) << x;
  }
  // Nothing outside the rectangle.
  EXPECT_EQ(target.Pixel(1, 1), RGB(255, 255, 255));
  EXPECT_EQ(target.Pixel(2, 0), RGB(255, 255, 255));
  EXPECT_EQ(target.Pixel(2, 5), RGB(255, 255, 255));
}

TEST(Canvas, DrawPutsTheGraphicAtItsNaturalSize) {
  std::vector<uint8_t> green;
  for (int i = 0; i < 3 * 2; ++i) green.insert(green.end(), {0, 200, 0, 255});
  const TPngImage image = PngOf(3, 2, green);
  PixelCanvas target(12, 8, RGB(0, 0, 0x80));
  TCanvas canvas(target.dc());
  canvas.Draw(5, 4, &image);
  EXPECT_EQ(target.Pixel(5, 4), RGB(0, 200, 0));
  EXPECT_EQ(target.Pixel(7, 5), RGB(0, 200, 0));
  EXPECT_EQ(target.Pixel(8, 5), RGB(0, 0, 0x80));
  EXPECT_EQ(target.Pixel(5, 6), RGB(0, 0, 0x80));
  EXPECT_EQ(target.Pixel(4, 4), RGB(0, 0, 0x80));
  // No graphic, or an empty one, draws nothing.
  TPngImage empty;
  canvas.Draw(0, 0, &empty);
  canvas.Draw(0, 0, nullptr);
  EXPECT_EQ(target.Pixel(0, 0), RGB(0, 0, 0x80));
}

TEST(Canvas, HandleAppliesFontColourAndBackgroundModeAndGivesTheFontBack) {
  PixelCanvas target(4, 4);
  const HGDIOBJ original = ::GetCurrentObject(target.dc(), OBJ_FONT);
  {
    TCanvas canvas(target.dc());
    canvas.Font.Name = "Trebuchet MS";
    canvas.Font.SetSize(9);
    canvas.Font.Color = RGB(0x22, 0x39, 0x66);
    canvas.Brush.Style = TBrushStyle::bsClear;
    HDC dc = canvas.Handle();
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), canvas.Font.Handle());
    EXPECT_EQ(::GetTextColor(dc), RGB(0x22, 0x39, 0x66));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    canvas.Brush.Style = TBrushStyle::bsSolid;
    canvas.Brush.Color = RGB(1, 2, 3);
    canvas.Handle();
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
    EXPECT_EQ(::GetBkColor(dc), RGB(1, 2, 3));
    // A second font in the same scope: the first original is still what returns.
    canvas.Font.Style = fsBold;
    canvas.Handle();
  }
  EXPECT_EQ(::GetCurrentObject(target.dc(), OBJ_FONT), original);

  TCanvas canvas(target.dc());
  canvas.Handle();
  canvas.SetHandle(nullptr);
  EXPECT_EQ(::GetCurrentObject(target.dc(), OBJ_FONT), original);
  EXPECT_EQ(canvas.Handle(), nullptr);
}

TEST(Canvas, ScopedSelectObjectPutsBackWhatItReplaced) {
  PixelCanvas target(4, 4);
  const HGDIOBJ original = ::GetCurrentObject(target.dc(), OBJ_BRUSH);
  UniqueGdiObject brush(::CreateSolidBrush(RGB(9, 9, 9)));
  {
    ScopedSelectObject select(target.dc(), brush.get());
    EXPECT_EQ(::GetCurrentObject(target.dc(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(::GetCurrentObject(target.dc(), OBJ_BRUSH), original);
}

TEST(Canvas, NinePointFontIsTwelvePixelsHighAtDesignResolution) {
  TFont font;
  font.Name = "Trebuchet MS";
  font.SetSize(9);
  EXPECT_EQ(font.Height, -12);
  EXPECT_EQ(font.Size(), 9);

  PixelCanvas target(4, 4);
  ScopedSelectObject select(target.dc(), font.Handle());
  TEXTMETRICA tm = {};
  ASSERT_TRUE(::GetTextMetricsA(target.dc(), &tm));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 12);
  char face[LF_FACESIZE] = {};
  ::GetTextFaceA(target.dc(), sizeof(face), face);
  // Where Trebuchet MS is missing (under Wine) this names the substitute.
  RecordProperty("face", face);
  EXPECT_NE(face[0], '\0');
}

TEST(Canvas, FontsShareOneHandlePerLookAndCarryTheirStyle) {
  TFont plain;
  plain.Name = "Trebuchet MS";
  plain.SetSize(9);
  TFont sameLook = plain;
  sameLook.Color = RGB(0xFF, 0, 0);  // colour is the canvas's business, not the font's
  EXPECT_EQ(plain.Handle(), sameLook.Handle());
  EXPECT_NE(plain, sameLook);

  TFont underlined = plain;
  underlined.Style = fsUnderline;
  ASSERT_NE(plain.Handle(), underlined.Handle());
  LOGFONTA lf = {};
  ASSERT_TRUE(::GetObjectA(underlined.Handle(), sizeof(lf), &lf));
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_STREQ(lf.lfFaceName, "Trebuchet MS");
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
}

}  // namespace

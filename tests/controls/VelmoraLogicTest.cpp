// The button's decisions as plain functions: which picture, where icon and
// caption go, how a rectangle is aligned, which dialog keys it takes.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls/Velmoracommon.h"
#include "controls/Velmorabutton.h"

namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Str(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

TEST(VelmoraLogic, TheFirstMatchingStateChoosesThePicture) {
  using F = TButtonFace;
  struct Case {
    bool enabled, pressed, hover, focused;
    F face;
  };
  const Case cases[] = {
      {true, false, false, false, F::Normal},
      {true, false, false, true, F::Focused},
      {true, false, true, true, F::Hover},       // hovering a focused button
      {true, true, true, true, F::Pressed},      // pressing a hovered button
      {true, true, false, false, F::Pressed},
      {false, true, true, true, F::Disabled},    // disabled whatever its flags
      {false, false, false, false, F::Disabled},
      {true, false, true, false, F::Hover},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseButtonFace(c.enabled, c.pressed, c.hover, c.focused), c.face)
        << c.enabled << c.pressed << c.hover << c.focused;
}

TEST(VelmoraLogic, IconAndCaptionPlaces) {
  const SIZE icon32 = {32, 32};
  const SIZE icon40 = {40, 40};
  const RECT wide = {0, 0, 267, 67};
  struct Case {
    const char* what;
    RECT client;
    bool pressed;
    const SIZE* icon;
    bool caption;
    bool drawIcon;
    POINT iconAt;
    bool drawCaption;
    RECT captionRect;
    UINT format;
  };
  const Case cases[] = {
      {"icon only, centred", wide, false, &icon32, false, true, {117, 17}, false, {}, 0},
      {"icon only, pressed", wide, true, &icon32, false, true, {118, 18}, false, {}, 0},
      {"icon larger than the button: halves truncate", {0, 0, 29, 29}, false, &icon40, false,
       true, {-5, -5}, false, {}, 0},
      {"caption only", {0, 0, 195, 53}, false, nullptr, true, false, {}, true, {0, 0, 195, 53}, 0x25},
      {"caption only, pressed", {0, 0, 195, 53}, true, nullptr, true, false, {}, true,
       {1, 1, 196, 54}, 0x25},
      {"icon and caption, indents 8 and 8", wide, false, &icon32, true, true, {8, 17}, true,
       {48, 0, 259, 67}, 0x24},
      {"icon and caption, pressed", wide, true, &icon32, true, true, {9, 18}, true,
       {49, 1, 260, 68}, 0x24},
      {"neither", wide, false, nullptr, false, false, {}, false, {}, 0},
  };
  for (const Case& c : cases) {
    const TButtonFaceLayout l = LayoutButtonFace(c.client, c.pressed, c.icon, c.caption, 8, 8);
    EXPECT_EQ(l.DrawIcon, c.drawIcon) << c.what;
    if (c.drawIcon) {
      EXPECT_EQ(l.IconAt.x, c.iconAt.x) << c.what;
      EXPECT_EQ(l.IconAt.y, c.iconAt.y) << c.what;
    }
    EXPECT_EQ(l.DrawCaption, c.drawCaption) << c.what;
    if (c.drawCaption) {
      EXPECT_TRUE(Same(l.CaptionRect, c.captionRect)) << c.what << " " << Str(l.CaptionRect);
      EXPECT_EQ(l.CaptionFormat, c.format) << c.what;
    }
  }
  // The left indent insets both edges; the right one is the gap after the icon.
  const TButtonFaceLayout l = LayoutButtonFace(wide, false, &icon32, true, 5, 20);
  EXPECT_EQ(l.IconAt.x, 5);
  EXPECT_TRUE(Same(l.CaptionRect, RECT{57, 0, 262, 67})) << Str(l.CaptionRect);
}

TEST(VelmoraLogic, AlignRectMovesWithoutResizing) {
  struct Case {
    const char* what;
    RECT bounds, rect;
    TAlignment h;
    TAlignmentVertical v;
    RECT expected;
  };
  const Case cases[] = {
      {"centre, even sums", {0, 0, 10, 10}, {0, 0, 4, 4}, taCenter, taMiddle, {3, 3, 7, 7}},
      {"centre, odd sums", {0, 0, 267, 67}, {0, 0, 32, 32}, taCenter, taMiddle, {117, 17, 149, 49}},
      {"centre, negative odd sums truncate toward zero", {0, 0, 4, 4}, {0, 0, 7, 7}, taCenter,
       taMiddle, {-1, -1, 6, 6}},
      {"centre, -5 halves to -2", {0, 0, 4, 4}, {0, 0, 9, 9}, taCenter, taMiddle, {-2, -2, 7, 7}},
      {"left and top add the bound's edge", {8, 5, 100, 50}, {0, 0, 10, 10}, taLeftJustify, taTop,
       {8, 5, 18, 15}},
      {"left and top from off the origin", {8, 5, 100, 50}, {2, 3, 12, 13}, taLeftJustify, taTop,
       {10, 8, 20, 18}},
      {"right and bottom", {8, 5, 100, 50}, {0, 0, 10, 10}, taRightJustify, taBottom,
       {90, 40, 100, 50}},
      {"centre and top", {0, 10, 20, 40}, {0, 0, 5, 5}, taCenter, taTop, {7, 10, 12, 15}},
      {"unknown alignments leave it", {8, 5, 100, 50}, {2, 3, 12, 13}, static_cast<TAlignment>(7),
       static_cast<TAlignmentVertical>(9), {2, 3, 12, 13}},
  };
  for (const Case& c : cases) {
    RECT r = c.rect;
    AlignRect(c.bounds, r, c.h, c.v);
    EXPECT_TRUE(Same(r, c.expected)) << c.what << ": " << Str(r);
  }
}

TEST(VelmoraLogic, PointEmptyMeansMinusOneOnEitherAxis) {
  struct Case {
    POINT p;
    bool empty;
  };
  const Case cases[] = {{{-1, 5}, true}, {{5, -1}, true}, {{-1, -1}, true},
                        {{0, 0}, false}, {{-2, 3}, false}, {{1, 1}, false}};
  for (const Case& c : cases) EXPECT_EQ(PointEmpty(c.p), c.empty) << c.p.x << "," << c.p.y;
}

TEST(VelmoraLogic, DialogKeysTakenOnlyWithoutShiftKeysAndWhenFocusable) {
  struct Case {
    WPARAM key;
    TShiftState shift;
    bool active, cancel, canFocus, takes;
  };
  const Case cases[] = {
      {VK_RETURN, 0, true, false, true, true},
      {VK_RETURN, 0, false, true, true, false},  // Enter needs the button active
      {VK_ESCAPE, 0, false, true, true, true},
      {VK_ESCAPE, 0, true, false, true, false},  // Escape needs Cancel
      {VK_RETURN, ssCtrl, true, false, true, false},
      {VK_RETURN, ssShift, true, false, true, false},
      {VK_ESCAPE, ssAlt, false, true, true, false},
      {VK_RETURN, 0, true, true, false, false},  // hidden or disabled
      {VK_SPACE, 0, true, true, true, false},
      {VK_TAB, 0, true, true, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AnswersDialogKey(c.key, c.shift, c.active, c.cancel, c.canFocus), c.takes)
        << c.key << " " << c.shift << c.active << c.cancel << c.canFocus;
}

TEST(VelmoraLogic, ANewButtonAndItsPaletteEntry) {
  TVelmoraButton button(nullptr);
  EXPECT_EQ(button.Width(), 137);
  EXPECT_EQ(button.Height(), 41);
  EXPECT_TRUE(button.TabStop());
  EXPECT_TRUE(button.DoubleBuffered());
  EXPECT_TRUE(button.Enabled());
  EXPECT_TRUE(button.Visible());
  EXPECT_TRUE(button.ParentFont());
  EXPECT_EQ(button.IconIndentLeft(), 0);
  EXPECT_EQ(button.IconIndentRight(), 0);
  EXPECT_EQ(button.ModalResult, 0);
  EXPECT_FALSE(button.Cancel);
  EXPECT_FALSE(button.Default);
  for (TImage* image : {button.ImageIcon(), button.ImageNormal(), button.ImageFocused(),
                        button.ImageHover(), button.ImagePressed(), button.ImageDisabled()})
    EXPECT_EQ(image, nullptr);
  EXPECT_FALSE(button.Hovered() || button.Pressed() || button.Active());

  Register();
  const auto& palette = ComponentPalette();
  auto page = std::find_if(palette.begin(), palette.end(),
                           [](const TPalettePage& p) { return p.Name == "Velmora"; });
  ASSERT_NE(page, palette.end());
  ASSERT_EQ(page->Classes.size(), 1u);
  EXPECT_EQ(page->Classes[0].ClassName, "TVelmoraButton");
  TComponent owner(nullptr);
  EXPECT_NE(dynamic_cast<TVelmoraButton*>(page->Classes[0].Create(&owner)), nullptr);
}

}  // namespace

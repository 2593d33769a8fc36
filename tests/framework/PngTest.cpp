#include <gtest/gtest.h>
#include <zlib.h>

#include "framework/Graphics.h"
#include "framework/PngImage.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::EncodePng;

std::vector<uint8_t> Bgra(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST(Png, DecodesEveryColourTypeToPremultipliedBgra) {
  struct Case {
    const char* what;
    png_uint_32 format;
    std::vector<uint8_t> pixels;  // two pixels in `format`
    bool hasAlpha;
    std::vector<uint8_t> expected;  // two pixels, B G R A, premultiplied
  };
  const Case cases[] = {
      {"RGBA: colours scaled by alpha, rounded", PNG_FORMAT_RGBA,
       {200, 100, 50, 128, 10, 20, 30, 255}, true, Bgra({25, 50, 100, 128, 30, 20, 10, 255})},
      {"RGBA: transparent pixel is all zero", PNG_FORMAT_RGBA, {255, 255, 255, 0, 1, 2, 3, 1},
       true, Bgra({0, 0, 0, 0, 0, 0, 0, 1})},
      {"RGB: opaque, colours kept", PNG_FORMAT_RGB, {200, 100, 50, 10, 20, 30}, false,
       Bgra({50, 100, 200, 255, 30, 20, 10, 255})},
      {"grey with alpha", PNG_FORMAT_GA, {80, 255, 80, 51}, true,
       Bgra({80, 80, 80, 255, 16, 16, 16, 51})},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> png = EncodePng(2, 1, c.format, c.pixels);
    ASSERT_FALSE(png.empty()) << c.what;
    TDecodedImage decoded;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), decoded)) << c.what;
    EXPECT_EQ(decoded.Width, 2) << c.what;
    EXPECT_EQ(decoded.Height, 1) << c.what;
    EXPECT_EQ(decoded.HasAlpha, c.hasAlpha) << c.what;
    EXPECT_EQ(decoded.Pixels, c.expected) << c.what;
  }
}

TEST(Png, RowsComeOutTopFirst) {
  // 1 x 2: red above blue.
  const std::vector<uint8_t> png = EncodePng(1, 2, PNG_FORMAT_RGB, {255, 0, 0, 0, 0, 255});
  TDecodedImage decoded;
  ASSERT_TRUE(DecodePng(png.data(), png.size(), decoded));
  EXPECT_EQ(decoded.Pixels, Bgra({0, 0, 255, 255, 255, 0, 0, 255}));
}

// A copy of `png` whose IHDR says width x height, with a valid checksum.
std::vector<uint8_t> WithHeaderSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
  // Signature (8), length (4), "IHDR" (4), then width and height.
  const size_t at = 16;
  for (int i = 0; i < 4; ++i) {
    png[at + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[at + 4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, png.data() + 12, 17);  // type and 13 data bytes
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

TEST(Png, DamagedOrHostileInputGivesNoPictureAndNoCrash) {
  const std::vector<uint8_t> good = window_test::SolidPng(4, 4, 1, 2, 3, 4);
  ASSERT_GT(good.size(), 60u);
  std::vector<uint8_t> flipped = good;
  flipped[good.size() - 20] ^= 0x5A;  // inside IDAT: its checksum no longer matches
  const std::string text = "this is not a picture at all, only words";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"empty", {}},
      {"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
      {"cut in the middle", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
      {"damaged data", flipped},
      {"text", std::vector<uint8_t>(text.begin(), text.end())},
      {"huge size claimed", WithHeaderSize(good, 20000, 20000)},
      {"zero width", WithHeaderSize(good, 0, 4)},
  };
  for (const Case& c : cases) {
    TDecodedImage decoded;
    decoded.Width = 7;
    EXPECT_FALSE(DecodePng(c.bytes.data(), c.bytes.size(), decoded)) << c.what;
    EXPECT_EQ(decoded.Width, 7) << c.what << ": the output is left alone";
    TPngImage image;
    EXPECT_FALSE(image.LoadFromMemory(c.bytes.data(), c.bytes.size())) << c.what;
    EXPECT_TRUE(image.Empty()) << c.what;
    EXPECT_EQ(image.Bitmap(), nullptr) << c.what;
  }
}

TEST(Png, WindowPicturesLoadFromTheProgramsResources) {
  const HMODULE module = ::GetModuleHandleA(nullptr);
  struct Case {
    const char* name;
    int width, height;
    bool alpha;
  };
  const Case cases[] = {
      {"imgButton", 267, 67, true},      {"imgButtonHover", 267, 67, true},
      {"imgButtonFocused", 267, 67, true}, {"imgCheckRed", 150, 53, true},
      {"imgCheckRedHover", 150, 53, true}, {"imgCheckRedFocused", 150, 53, true},
      {"imgRedSet", 32, 32, true},       {"imgGreenSet", 32, 32, true},
      {"imgStopIcon", 32, 32, true},     {"imgRemoteAss", 32, 32, true},
      {"imgAdguard", 32, 32, true},      {"imgStartmeter", 32, 32, false},
      {"Image1", 32, 32, true},
  };
  for (const Case& c : cases) {
    TPicture picture;
    ASSERT_TRUE(picture.LoadFromResourceName(module, c.name)) << c.name;
    auto* png = dynamic_cast<TPngImage*>(picture.Graphic());
    ASSERT_NE(png, nullptr) << c.name;
    EXPECT_EQ(png->Width(), c.width) << c.name;
    EXPECT_EQ(png->Height(), c.height) << c.name;
    EXPECT_EQ(png->HasAlpha(), c.alpha) << c.name;
  }
}

TEST(Png, AMissingResourceLeavesThePictureEmptyAndSaysSo) {
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&] { ++changes; };
  ASSERT_TRUE(picture.LoadFromResourceName(::GetModuleHandleA(nullptr), "imgRedSet"));
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_FALSE(picture.LoadFromResourceName(::GetModuleHandleA(nullptr), "imgNoSuchPicture"));
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(changes, 2);
  // The window icon is there, but as an icon: no RCDATA picture of that name.
  EXPECT_FALSE(picture.LoadFromResourceName(::GetModuleHandleA(nullptr), "MAINICON"));
  EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST(Png, APictureLoadedOnUseDecodesWhenFirstAskedFor) {
  const HMODULE module = ::GetModuleHandleA(nullptr);
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&] { ++changes; };
  ASSERT_TRUE(picture.LoadFromResourceNameOnUse(module, "imgButton"));
  EXPECT_EQ(changes, 1);
  auto* png = dynamic_cast<TPngImage*>(picture.Graphic());
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->Width(), 267);
  EXPECT_EQ(picture.Height(), 67);
  EXPECT_EQ(picture.Graphic(), png) << "decoded once";
  EXPECT_EQ(changes, 1) << "decoding is no change";

  // A missing resource says so at once and empties the picture.
  EXPECT_FALSE(picture.LoadFromResourceNameOnUse(module, "imgNoSuchPicture"));
  EXPECT_EQ(picture.Graphic(), nullptr);

  // Bytes that are no PNG: the picture stays empty when asked for.
  static const char kNotPng[] = "\x89PNG but nothing after";
  picture.LoadFromMemoryOnUse(kNotPng, sizeof(kNotPng));
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Graphic(), nullptr);

  // A graphic set meanwhile wins over a PNG not yet decoded.
  picture.LoadFromResourceNameOnUse(module, "imgRedSet");
  picture.SetGraphic(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
}

}  // namespace

// PNG pictures: decoded with libpng into 32-bit premultiplied BGRA, the form
// GdiAlphaBlend takes, and kept in a DIB section.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Graphics.h"
#include "framework/Handles.h"

// Pixels top row first, 4 bytes each: blue, green, red, alpha, the colours
// multiplied by alpha. A picture without alpha channel comes out opaque.
struct TDecodedImage {
  int Width = 0;
  int Height = 0;
  bool HasAlpha = false;
  std::vector<uint8_t> Pixels;
};

// Larger pictures are refused rather than allocated.
constexpr int kMaxPictureSide = 8192;

// False for anything that is not a complete, readable PNG (out untouched).
bool DecodePng(const void* data, size_t size, TDecodedImage& out);

class TPngImage : public TGraphic {
 public:
  // False leaves the image as it was.
  bool LoadFromMemory(const void* data, size_t size);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool HasAlpha() const { return hasAlpha_; }
  HBITMAP Bitmap() const { return static_cast<HBITMAP>(bitmap_.get()); }

  void Draw(TCanvas& canvas, const RECT& rect) const override;

 private:
  UniqueGdiObject bitmap_;
  int width_ = 0;
  int height_ = 0;
  bool hasAlpha_ = false;
};

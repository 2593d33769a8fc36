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
// The width and height a PNG's header gives, without decoding it.
bool ReadPngSize(const void* data, size_t size, SIZE* out);

// The image resampled to width x height: each pixel a weighted mean of the
// source pixels under it (a tent filter, widened when shrinking), so that
// edges come out smooth, never blocky.
TDecodedImage ResizeImage(const TDecodedImage& image, int width, int height);

class TPngImage : public TGraphic {
 public:
  // False leaves the image as it was.
  bool LoadFromMemory(const void* data, size_t size);
  bool LoadFromPixels(const TDecodedImage& image);

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

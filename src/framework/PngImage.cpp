#include "framework/PngImage.h"

#include <png.h>

#include <cstring>

namespace {

uint8_t Premultiply(uint8_t colour, uint8_t alpha) {
  return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

// Frees libpng's reading state on every path.
struct PngImageGuard {
  png_image* image;
  ~PngImageGuard() { png_image_free(image); }
};

}  // namespace

bool DecodePng(const void* data, size_t size, TDecodedImage& out) {
  if (!data || size == 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  PngImageGuard guard{&image};
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
      image.height > kMaxPictureSide)
    return false;
  const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    const uint8_t alpha = pixels[i + 3];
    if (alpha == 255) continue;
    pixels[i] = Premultiply(pixels[i], alpha);
    pixels[i + 1] = Premultiply(pixels[i + 1], alpha);
    pixels[i + 2] = Premultiply(pixels[i + 2], alpha);
  }
  out.Width = static_cast<int>(image.width);
  out.Height = static_cast<int>(image.height);
  out.HasAlpha = hasAlpha;
  out.Pixels = std::move(pixels);
  return true;
}

bool TPngImage::LoadFromMemory(const void* data, size_t size) {
  TDecodedImage decoded;
  if (!DecodePng(data, size, decoded)) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = decoded.Width;
  info.bmiHeader.biHeight = -decoded.Height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return false;
  std::memcpy(bits, decoded.Pixels.data(), decoded.Pixels.size());
  bitmap_ = std::move(bitmap);
  width_ = decoded.Width;
  height_ = decoded.Height;
  hasAlpha_ = decoded.HasAlpha;
  return true;
}

void TPngImage::Draw(TCanvas& canvas, const RECT& rect) const {
  HDC target = canvas.Handle();
  if (!target || !bitmap_) return;
  UniqueDc source(::CreateCompatibleDC(target));
  if (!source) return;
  ScopedSelectObject select(source.get(), bitmap_.get());
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::GdiAlphaBlend(target, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               source.get(), 0, 0, width_, height_, blend);
}

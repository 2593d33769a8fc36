#include "framework/PngImage.h"

#include <png.h>

#include <algorithm>
#include <cmath>
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

// Reads the header of the PNG in `data` into `image`, which the caller's
// guard frees.
bool BeginRead(const void* data, size_t size, png_image& image) {
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  return data && size != 0 && png_image_begin_read_from_memory(&image, data, size);
}

}  // namespace

bool DecodePng(const void* data, size_t size, TDecodedImage& out) {
  png_image image;
  PngImageGuard guard{&image};
  if (!BeginRead(data, size, image)) return false;
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

bool ReadPngSize(const void* data, size_t size, SIZE* out) {
  png_image image;
  PngImageGuard guard{&image};
  if (!BeginRead(data, size, image)) return false;
  *out = SIZE{static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
  return true;
}

namespace {

// Each of `lines` lines of RGBA samples resampled from `from` pixels to `to`:
// along the rows, else along the columns.
std::vector<float> ResampleLines(const std::vector<float>& in, int lines, int from, int to,
                                 bool rows) {
  std::vector<float> out(static_cast<size_t>(lines) * to * 4);
  const double scale = static_cast<double>(to) / from;
  // The tent's half-width in source pixels: one when enlarging (linear
  // interpolation), the span of a target pixel when shrinking.
  const double radius = scale < 1.0 ? 1.0 / scale : 1.0;
  for (int i = 0; i < to; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int first = std::max(0, static_cast<int>(std::ceil(centre - radius)));
    const int last = std::min(from - 1, static_cast<int>(std::floor(centre + radius)));
    auto tent = [&](int j) { return std::max(0.0, 1.0 - std::abs(j - centre) / radius); };
    double sum = 0.0;
    for (int j = first; j <= last; ++j) sum += tent(j);
    for (int j = first; j <= last; ++j) {
      const float w = static_cast<float>(tent(j) / sum);
      for (int l = 0; l < lines; ++l) {
        const float* p = &in[(rows ? static_cast<size_t>(l) * from + j : static_cast<size_t>(j) * lines + l) * 4];
        float* q = &out[(rows ? static_cast<size_t>(l) * to + i : static_cast<size_t>(i) * lines + l) * 4];
        for (int c = 0; c < 4; ++c) q[c] += w * p[c];
      }
    }
  }
  return out;
}

}  // namespace

TDecodedImage ResizeImage(const TDecodedImage& image, int width, int height) {
  if (width <= 0 || height <= 0 || image.Width <= 0 || image.Height <= 0 ||
      (width == image.Width && height == image.Height))
    return image;
  // Premultiplied colours average correctly across transparent edges.
  const std::vector<float> pixels(image.Pixels.begin(), image.Pixels.end());
  const std::vector<float> across = ResampleLines(pixels, image.Height, image.Width, width, true);
  const std::vector<float> done = ResampleLines(across, width, image.Height, height, false);
  TDecodedImage out;
  out.Width = width;
  out.Height = height;
  out.HasAlpha = image.HasAlpha;
  out.Pixels.reserve(done.size());
  for (float v : done) out.Pixels.push_back(static_cast<uint8_t>(std::min(255.0f, v + 0.5f)));
  return out;
}

bool TPngImage::LoadFromMemory(const void* data, size_t size) {
  TDecodedImage decoded;
  return DecodePng(data, size, decoded) && LoadFromPixels(decoded);
}

bool TPngImage::LoadFromPixels(const TDecodedImage& decoded) {
  if (decoded.Width <= 0 || decoded.Height <= 0 ||
      decoded.Pixels.size() != static_cast<size_t>(decoded.Width) * decoded.Height * 4)
    return false;
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

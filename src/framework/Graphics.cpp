#include "framework/Graphics.h"

#include <map>
#include <tuple>

#include "framework/Handles.h"
#include "framework/PngImage.h"

int TFont::Size() const { return ::MulDiv(-Height, 72, kDesignPixelsPerInch); }

void TFont::SetSize(int points) { Height = -::MulDiv(points, kDesignPixelsPerInch, 72); }

HFONT TFont::Handle() const {
  using Key = std::tuple<std::string, int, TFontStyles, BYTE>;
  static std::map<Key, UniqueGdiObject> fonts;
  const Key key{Name, Height, Style, Charset};
  auto it = fonts.find(key);
  if (it == fonts.end()) {
    LOGFONTA lf = {};
    lf.lfHeight = Height;
    lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = Charset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynA(lf.lfFaceName, Name.c_str(), LF_FACESIZE);
    it = fonts.emplace(key, UniqueGdiObject(::CreateFontIndirectA(&lf))).first;
  }
  return static_cast<HFONT>(it->second.get());
}

bool TFont::operator==(const TFont& other) const {
  return Name == other.Name && Height == other.Height && Style == other.Style &&
         Color == other.Color && Charset == other.Charset;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  if (dc_ && savedFont_) ::SelectObject(dc_, savedFont_);
  savedFont_ = nullptr;
  dc_ = dc;
}

HDC TCanvas::Handle() {
  if (!dc_) return nullptr;
  const HGDIOBJ previous = ::SelectObject(dc_, Font.Handle());
  if (!savedFont_) savedFont_ = previous;
  ::SetTextColor(dc_, Font.Color);
  ::SetBkColor(dc_, Brush.Color);
  ::SetBkMode(dc_, Brush.Style == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
  return dc_;
}

void TCanvas::FillRect(const RECT& rect) {
  if (!dc_ || Brush.Style == TBrushStyle::bsClear) return;
  UniqueGdiObject brush(::CreateSolidBrush(Brush.Color));
  ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.get()));
}

void TCanvas::StretchDraw(const RECT& rect, const TGraphic* graphic) {
  if (dc_ && graphic && !graphic->Empty()) graphic->Draw(*this, rect);
}

void TCanvas::Draw(int x, int y, const TGraphic* graphic) {
  if (!graphic) return;
  StretchDraw(RECT{x, y, x + graphic->Width(), y + graphic->Height()}, graphic);
}

TGraphic* TPicture::Graphic() const {
  if (pending_) {
    auto png = std::make_unique<TPngImage>();
    if (png->LoadFromMemory(pending_, pendingSize_)) graphic_ = std::move(png);
    pending_ = nullptr;
    pendingSize_ = 0;
  }
  return graphic_.get();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  pending_ = nullptr;
  pendingSize_ = 0;
  graphic_ = std::move(graphic);
  if (OnChange) OnChange();
}

namespace {

// The RCDATA resource `name` of `module`, or none. Resources stay mapped
// with the module; nothing here is freed.
const void* FindPngResource(HMODULE module, const std::string& name, DWORD* size) {
  HRSRC info = ::FindResourceA(module, name.c_str(), RT_RCDATA);
  if (!info) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, info);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  *size = data ? ::SizeofResource(module, info) : 0;
  return *size ? data : nullptr;
}

}  // namespace

bool TPicture::LoadFromResourceName(HMODULE module, const std::string& name) {
  std::unique_ptr<TGraphic> graphic;
  DWORD size = 0;
  if (const void* data = FindPngResource(module, name, &size)) {
    auto png = std::make_unique<TPngImage>();
    if (png->LoadFromMemory(data, size)) graphic = std::move(png);
  }
  const bool found = graphic != nullptr;
  SetGraphic(std::move(graphic));
  return found;
}

bool TPicture::LoadFromResourceNameOnUse(HMODULE module, const std::string& name) {
  DWORD size = 0;
  const void* data = FindPngResource(module, name, &size);
  if (data)
    LoadFromMemoryOnUse(data, size);
  else
    SetGraphic(nullptr);
  return data != nullptr;
}

void TPicture::LoadFromMemoryOnUse(const void* data, size_t size) {
  SetGraphic(nullptr);
  pending_ = size ? data : nullptr;
  pendingSize_ = size;
}

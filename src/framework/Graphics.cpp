#include "framework/Graphics.h"

#include <map>
#include <tuple>

#include "framework/Handles.h"
#include "framework/PngImage.h"

int ScreenPixelsPerInch() {
  UniqueDc screen(::CreateCompatibleDC(nullptr));
  const int ppi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return ppi > 0 ? ppi : kDesignPixelsPerInch;
}

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
  if (decodePending_) {
    decodePending_ = false;
    graphic_ = Decode();
  }
  return graphic_.get();
}

std::unique_ptr<TGraphic> TPicture::Decode() const {
  // The drawing for this resolution, else the nearest larger, else the largest.
  const Png* chosen = nullptr;
  for (const Png& png : pngs_)
    if (!chosen || chosen->ppi < ppi_) chosen = &png;
  const Png* design = nullptr;
  for (const Png& png : pngs_)
    if (png.ppi == kDesignPixelsPerInch) design = &png;
  TDecodedImage image;
  if (!chosen || !design || !DecodePng(chosen->data, chosen->size, image)) return nullptr;
  if (chosen->ppi != ppi_) {
    SIZE size;
    if (!ReadPngSize(design->data, design->size, &size)) return nullptr;
    image = ResizeImage(image, ::MulDiv(size.cx, ppi_, kDesignPixelsPerInch),
                        ::MulDiv(size.cy, ppi_, kDesignPixelsPerInch));
  }
  auto png = std::make_unique<TPngImage>();
  if (!png->LoadFromPixels(image)) return nullptr;
  return png;
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  pngs_.clear();
  decodePending_ = false;
  graphic_ = std::move(graphic);
  if (OnChange) OnChange();
}

void TPicture::SetPixelsPerInch(int ppi) {
  if (ppi == ppi_ || ppi <= 0) return;
  ppi_ = ppi;
  if (pngs_.empty()) return;
  graphic_.reset();
  decodePending_ = true;
  if (OnChange) OnChange();
}

namespace {

// The RCDATA resource `name` of `module`, or none. Resources stay mapped
// with the module; nothing here is freed.
const void* FindPngResource(HMODULE module, const char* name, DWORD* size) {
  HRSRC info = ::FindResourceA(module, name, RT_RCDATA);
  if (!info) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, info);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  *size = data ? ::SizeofResource(module, info) : 0;
  return *size ? data : nullptr;
}

}  // namespace

bool TPicture::LoadFromResourceName(HMODULE module, const std::string& name) {
  return LoadFromResourceNameOnUse(module, name) && Graphic() != nullptr;
}

bool TPicture::LoadFromResourceNameOnUse(HMODULE module, const std::string& name) {
  DWORD size = 0;
  const void* data = FindPngResource(module, name.c_str(), &size);
  if (!data) {
    SetGraphic(nullptr);
    return false;
  }
  LoadFromMemoryOnUse(data, size);
  // The same picture drawn for larger screens, where the program has it.
  for (int percent : {125, 150, 200}) {
    char scaledName[48];
    ::wsprintfA(scaledName, "%.40s_%d", name.c_str(), percent);
    if (const void* scaled = FindPngResource(module, scaledName, &size))
      AddScaledPngOnUse(kDesignPixelsPerInch * percent / 100, scaled, size);
  }
  return true;
}

void TPicture::LoadFromMemoryOnUse(const void* data, size_t size) {
  SetGraphic(nullptr);
  if (!data || !size) return;
  pngs_.push_back({kDesignPixelsPerInch, data, size});
  decodePending_ = true;
}

void TPicture::AddScaledPngOnUse(int ppi, const void* data, size_t size) {
  if (pngs_.empty() || !data || !size || ppi == kDesignPixelsPerInch) return;
  auto at = pngs_.begin();
  while (at != pngs_.end() && at->ppi < ppi) ++at;
  pngs_.insert(at, {ppi, data, size});
  if (ppi == ppi_) {
    graphic_.reset();
    decodePending_ = true;
  }
}

// Drawing: fonts, brushes, the canvas over a device context, and graphics
// (pictures that draw themselves onto a canvas).
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Windows are designed at 96 pixels per inch; a form scales itself to the
// screen's (TForm::PixelsPerInch).
constexpr int kDesignPixelsPerInch = 96;
// The screen's pixels per inch (the system's, for a program that declares
// itself DPI-aware); 96 when it cannot be read.
int ScreenPixelsPerInch();

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

struct TFont {
  std::string Name = "Tahoma";
  int Height = -11;  // negative: the character height in pixels
  TFontStyles Style = 0;
  COLORREF Color = RGB(0, 0, 0);
  BYTE Charset = DEFAULT_CHARSET;

  // Points at the design's 96 pixels per inch.
  int Size() const;
  void SetSize(int points);
  // One shared GDI font per distinct face, height, style and charset, kept
  // for the life of the program. Where the face is missing, GDI's font
  // mapper gives the platform's substitute.
  HFONT Handle() const;

  bool operator==(const TFont& other) const;
  bool operator!=(const TFont& other) const { return !(*this == other); }
};

enum class TBrushStyle { bsSolid, bsClear };

struct TBrush {
  COLORREF Color = RGB(0xFF, 0xFF, 0xFF);
  TBrushStyle Style = TBrushStyle::bsSolid;
};

// Selects an object into a device context for the scope and puts the one it
// replaced back at the end.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

class TGraphic;

// Drawing on a device context it does not own. Handle() gives the context
// with Font, the text colour and the brush's background mode applied; the
// context gets its own font back when the canvas lets go of it.
class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(HDC dc) : dc_(dc) {}
  ~TCanvas() { SetHandle(nullptr); }
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  void SetHandle(HDC dc);
  HDC Handle();

  TBrush Brush;
  TFont Font;

  void FillRect(const RECT& rect);
  // The whole graphic over `rect` (aspect ratio not kept), blended through
  // its alpha channel.
  void StretchDraw(const RECT& rect, const TGraphic* graphic);
  // The graphic at its natural size with its top-left corner at x, y.
  void Draw(int x, int y, const TGraphic* graphic);

 private:
  HDC dc_ = nullptr;
  HGDIOBJ savedFont_ = nullptr;
};

class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  virtual void Draw(TCanvas& canvas, const RECT& rect) const = 0;
};

// Holds at most one graphic, or the PNG it will be decoded from on first use.
class TPicture {
 public:
  // Decodes a PNG given to LoadFromMemoryOnUse first, at the scale of
  // PixelsPerInch.
  TGraphic* Graphic() const;
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  int Width() const { return Graphic() ? Graphic()->Width() : 0; }
  int Height() const { return Graphic() ? Graphic()->Height() : 0; }

  // The PNG stored as RCDATA resource `name` of `module`. A missing resource
  // or one that is not a readable PNG leaves the picture without a graphic.
  bool LoadFromResourceName(HMODULE module, const std::string& name);

  // The same, but decoded only when the graphic is first asked for: most
  // pictures of a window are not shown at its start, some never. False for a
  // missing resource; one that is not a readable PNG leaves the picture
  // without a graphic when it is asked for.
  bool LoadFromResourceNameOnUse(HMODULE module, const std::string& name);
  // The PNG at `data` (which must stay there), decoded on first use.
  void LoadFromMemoryOnUse(const void* data, size_t size);
  // The same picture drawn for `ppi` pixels per inch (data stays there too).
  void AddScaledPngOnUse(int ppi, const void* data, size_t size);

  // A PNG loaded here is shown at its size times ppi / 96: the drawing made
  // for that many pixels per inch where there is one, else the nearest
  // larger one (else the largest) smoothly resampled. A graphic set
  // outright is shown as it is. 96 at first.
  int PixelsPerInch() const { return ppi_; }
  void SetPixelsPerInch(int ppi);

  std::function<void()> OnChange;

 private:
  struct Png {
    int ppi;
    const void* data;
    size_t size;
  };

  std::unique_ptr<TGraphic> Decode() const;

  mutable std::unique_ptr<TGraphic> graphic_;
  // The PNGs the graphic comes from, by ppi (the design's at 96).
  std::vector<Png> pngs_;
  mutable bool decodePending_ = false;
  int ppi_ = kDesignPixelsPerInch;
};

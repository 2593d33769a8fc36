// Helpers for tests on real windows (under Xvfb): bounded message pumping,
// a control that records what it is sent, held shift keys, a watcher that
// reads and dismisses a message box from another thread, pixels of an
// off-screen bitmap, and PNG encoding for test pictures.
#pragma once

#include <windows.h>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/Application.h"
#include "framework/Control.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"
#include "framework/PngImage.h"

namespace window_test {

// Handles messages until `done` holds or `timeoutMs` has passed; the answer
// of `done` at the end.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    Application->ProcessMessages();
    if (done()) return true;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(10);
  }
}

// Lets every message already queued (and what they post) be handled.
inline void Pump() {
  for (int i = 0; i < 3; ++i) {
    Application->ProcessMessages();
    ::Sleep(5);
  }
}

// A plain windowed control that records the layer's notifications and the
// keys it is sent, and answers dialog keys and WM_GETDLGCODE as told.
class SpyControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
  struct Heard {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Heard> heard;
  bool consumeDialogKeys = false;
  LRESULT dialogCode = 0;
  bool throwOnDialogKey = false;

  int Count(UINT msg) const {
    int n = 0;
    for (const Heard& h : heard) n += h.msg == msg;
    return n;
  }
  const Heard* Last(UINT msg) const {
    for (auto it = heard.rbegin(); it != heard.rend(); ++it)
      if (it->msg == msg) return &*it;
    return nullptr;
  }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if ((msg >= CM_BASE && msg < CM_BASE + 0x100) || msg == WM_KEYDOWN)
      heard.push_back({msg, wParam, lParam});
    // Moves, with whether the window was on screen meanwhile.
    if (msg == WM_MOVE) heard.push_back({msg, ::IsWindowVisible(WindowHandle()) ? 1u : 0u, lParam});
    if (msg == CM_DIALOGKEY && throwOnDialogKey) throw std::runtime_error("dialog key failed");
    if (msg == CM_DIALOGKEY && consumeDialogKeys) return 1;
    if (msg == WM_GETDLGCODE && dialogCode) return dialogCode;
    return TWinControl::WndProc(msg, wParam, lParam);
  }
};

// Holds keys down in this thread's key state (as GetKeyState sees them) for
// the scope.
class HeldKeys {
 public:
  HeldKeys(std::initializer_list<int> keys) {
    ::GetKeyboardState(saved_);
    BYTE state[256];
    std::copy(saved_, saved_ + 256, state);
    for (int k : keys) state[k] |= 0x80;
    ::SetKeyboardState(state);
  }
  ~HeldKeys() { ::SetKeyboardState(saved_); }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

 private:
  BYTE saved_[256];
};

// A WM_KEYDOWN as the keyboard would queue it to the focused window.
inline void PostKey(HWND window, WPARAM key) {
  ::PostMessageA(window, WM_KEYDOWN, key, 1);
  ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

// What a message box of this process showed before the watcher pressed OK.
struct SeenMessageBox {
  bool seen = false;
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;
  bool hasIcon = false;
  RECT rect = {0, 0, 0, 0};
};

// Waits on its own thread (at most `timeoutMs`) for a message box of this
// process, records it and presses its OK button. Join() before reading.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD timeoutMs = 10000)
      : thread_([this, timeoutMs] { Watch(timeoutMs); }) {}
  ~MessageBoxWatcher() { Join(); }
  const SeenMessageBox& Join() {
    if (thread_.joinable()) thread_.join();
    return seen_;
  }

 private:
  struct Search {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK FindBox(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    char cls[32] = {};
    ::GetClassNameA(w, cls, sizeof(cls));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid == s->pid && std::string(cls) == "#32770" && ::IsWindowVisible(w)) {
      s->found = w;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK ReadChild(HWND w, LPARAM p) {
    auto* seen = reinterpret_cast<SeenMessageBox*>(p);
    char cls[32] = {};
    ::GetClassNameA(w, cls, sizeof(cls));
    char text[1024] = {};
    ::GetWindowTextA(w, text, sizeof(text));
    const LONG style = ::GetWindowLongA(w, GWL_STYLE);
    if (std::string(cls) == "Button" && ::IsWindowVisible(w)) seen->buttons.push_back(text);
    if (std::string(cls) == "Static") {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        if (::IsWindowVisible(w) && ::SendMessageA(w, STM_GETICON, 0, 0)) seen->hasIcon = true;
      } else if (text[0]) {
        seen->text += text;
      }
    }
    return TRUE;
  }
  void Watch(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    Search s{::GetCurrentProcessId(), nullptr};
    while (!s.found && ::GetTickCount() - start < timeoutMs) {
      ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&s));
      if (!s.found) ::Sleep(20);
    }
    if (!s.found) return;
    ::Sleep(100);  // let it finish laying itself out
    seen_.seen = true;
    char caption[256] = {};
    ::GetWindowTextA(s.found, caption, sizeof(caption));
    seen_.caption = caption;
    ::GetWindowRect(s.found, &seen_.rect);
    ::EnumChildWindows(s.found, &ReadChild, reinterpret_cast<LPARAM>(&seen_));
    ::PostMessageA(s.found, WM_COMMAND, IDOK, 0);
  }

  SeenMessageBox seen_;
  std::thread thread_;
};

// A 32-bit top-down DIB selected into a memory DC, for painting and reading
// pixels back.
class PixelCanvas {
 public:
  PixelCanvas(int width, int height, COLORREF fill = RGB(0xFF, 0xFF, 0xFF))
      : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<uint32_t*>(bits);
    old_ = ::SelectObject(dc_.get(), bitmap_.get());
    UniqueGdiObject brush(::CreateSolidBrush(fill));
    RECT all = {0, 0, width, height};
    ::FillRect(dc_.get(), &all, static_cast<HBRUSH>(brush.get()));
  }
  ~PixelCanvas() { ::SelectObject(dc_.get(), old_); }
  PixelCanvas(const PixelCanvas&) = delete;
  PixelCanvas& operator=(const PixelCanvas&) = delete;

  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF Pixel(int x, int y) const {
    ::GdiFlush();
    const uint32_t v = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }

 private:
  int width_, height_;
  UniqueDc dc_;
  UniqueGdiObject bitmap_;
  uint32_t* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// A PNG file in memory (8 bits a channel), from pixels in `format`
// (PNG_FORMAT_RGBA, PNG_FORMAT_RGB, PNG_FORMAT_GA, ...), rows top first.
// Written here with zlib: the program's libpng is built to read only.
inline std::vector<uint8_t> EncodePng(int width, int height, png_uint_32 format,
                                      const std::vector<uint8_t>& pixels) {
  const int channels = static_cast<int>(PNG_IMAGE_SAMPLE_CHANNELS(format));
  static const uint8_t kColourType[] = {0, 0, 4, 2, 6};  // by channel count
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
  if (pixels.size() != stride * static_cast<size_t>(height)) return {};
  std::vector<uint8_t> raw;  // each row behind filter byte 0 (none)
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(stride * y),
               pixels.begin() + static_cast<std::ptrdiff_t>(stride * (y + 1)));
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size())) != Z_OK)
    return {};
  packed.resize(packedSize);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto put32 = [&out](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    put32(static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(static_cast<uint32_t>(
        crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
  };
  std::vector<uint8_t> header;
  for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(width >> shift));
  for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(height >> shift));
  header.insert(header.end(), {8, kColourType[channels], 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return out;
}

// A PNG of one colour (RGBA).
inline std::vector<uint8_t> SolidPng(int width, int height, uint8_t r, uint8_t g, uint8_t b,
                                     uint8_t a = 255) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b, a});
  return EncodePng(width, height, PNG_FORMAT_RGBA, pixels);
}

inline std::unique_ptr<TPngImage> SolidImage(int width, int height, COLORREF colour) {
  auto image = std::make_unique<TPngImage>();
  const std::vector<uint8_t> png =
      SolidPng(width, height, GetRValue(colour), GetGValue(colour), GetBValue(colour));
  image->LoadFromMemory(png.data(), png.size());
  return image;
}

}  // namespace window_test

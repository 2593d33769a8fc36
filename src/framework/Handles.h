// One move-only owner for every kind of Win32 handle. A wrapper releases its
// handle exactly once, on every path; it can be moved but never copied.
#pragma once

#include <windows.h>

#include "framework/SystemDll.h"

#include <utility>

template <typename Traits>
class UniqueAny {
 public:
  using pointer = typename Traits::type;

  UniqueAny() noexcept : value_(Traits::invalid()) {}
  explicit UniqueAny(pointer value) noexcept : value_(value) {}
  ~UniqueAny() { reset(); }

  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  pointer release() noexcept {
    pointer v = value_;
    value_ = Traits::invalid();
    return v;
  }
  void reset(pointer value = Traits::invalid()) noexcept {
    if (value_ != Traits::invalid()) Traits::close(value_);
    value_ = value;
  }
  // For out-parameters: releases what is held and hands out the slot.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

 private:
  pointer value_;
};

#define QUELLIX_HANDLE_TRAITS(Name, Type, Invalid, CloseExpr) \
  struct Name##Traits {                                       \
    using type = Type;                                        \
    static type invalid() noexcept { return Invalid; }        \
    static void close(type h) noexcept { CloseExpr; }         \
  };                                                          \
  using Name = UniqueAny<Name##Traits>;

QUELLIX_HANDLE_TRAITS(UniqueHandle, HANDLE, nullptr, ::CloseHandle(h))
QUELLIX_HANDLE_TRAITS(UniqueFile, HANDLE, INVALID_HANDLE_VALUE, ::CloseHandle(h))
QUELLIX_HANDLE_TRAITS(UniqueFind, HANDLE, INVALID_HANDLE_VALUE, ::FindClose(h))
QUELLIX_HANDLE_TRAITS(UniqueHkey, HKEY, nullptr, ::RegCloseKey(h))
QUELLIX_HANDLE_TRAITS(UniqueInternet, HINTERNET, nullptr, late::InternetCloseHandle(h))
QUELLIX_HANDLE_TRAITS(UniqueSid, PSID, nullptr, ::FreeSid(h))
QUELLIX_HANDLE_TRAITS(UniqueLocal, HLOCAL, nullptr, ::LocalFree(h))
QUELLIX_HANDLE_TRAITS(UniqueGdiObject, HGDIOBJ, nullptr, ::DeleteObject(h))
QUELLIX_HANDLE_TRAITS(UniqueDc, HDC, nullptr, ::DeleteDC(h))
QUELLIX_HANDLE_TRAITS(UniqueWindow, HWND, nullptr, ::DestroyWindow(h))

#undef QUELLIX_HANDLE_TRAITS

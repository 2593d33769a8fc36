// The platform calls whose failures the tests must provoke, and nothing else.
// Real functions by default; a test swaps an entry and restores it with
// ScopedSeam. Everything not listed here calls Win32 directly.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include "framework/SystemDll.h"

struct PlatformSeam {
  // Process token and file rights.
  decltype(&::OpenProcessToken) OpenProcessToken = ::OpenProcessToken;
  decltype(&::AdjustTokenPrivileges) AdjustTokenPrivileges = ::AdjustTokenPrivileges;
  decltype(&::SetNamedSecurityInfoA) SetNamedSecurityInfoA = ::SetNamedSecurityInfoA;
  // File deletion.
  decltype(&::DeleteFileA) DeleteFileA = ::DeleteFileA;
  // Folder enumeration: entries without a short name, as on a volume with
  // 8.3 names switched off (Wine always makes one).
  decltype(&::FindFirstFileA) FindFirstFileA = ::FindFirstFileA;
  decltype(&::FindNextFileA) FindNextFileA = ::FindNextFileA;
  // Looking up IsWow64Process (absent on old systems, a fixed answer under wine64).
  decltype(&::GetProcAddress) GetProcAddress = ::GetProcAddress;
  // The program's own path (cut short when it does not fit the buffer; in
  // the wide form, a folder that the code page cannot spell).
  decltype(&::GetModuleFileNameA) GetModuleFileNameA = ::GetModuleFileNameA;
  decltype(&::GetModuleFileNameW) GetModuleFileNameW = ::GetModuleFileNameW;
  // The ANSI code page (Wine's is never UTF-8, an option of Windows 10).
  decltype(&::GetACP) GetACP = ::GetACP;
  // Registry.
  decltype(&::RegOpenKeyExA) RegOpenKeyExA = ::RegOpenKeyExA;
  decltype(&::RegCreateKeyExA) RegCreateKeyExA = ::RegCreateKeyExA;
  decltype(&::RegDeleteKeyA) RegDeleteKeyA = ::RegDeleteKeyA;
  decltype(&::RegSetValueExA) RegSetValueExA = ::RegSetValueExA;
  // HTTPS (WinINet's own functions, loaded on the first call).
  decltype(&::InternetOpenA) InternetOpenA = late::InternetOpenA;
  decltype(&::HttpSendRequestA) HttpSendRequestA = late::HttpSendRequestA;
  decltype(&::InternetReadFile) InternetReadFile = late::InternetReadFile;
  decltype(&::Sleep) Sleep = ::Sleep;
};

PlatformSeam& Seam();

// Replaces one entry for the lifetime of the guard.
template <typename Fn>
class ScopedSeam {
 public:
  ScopedSeam(Fn& slot, Fn replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
  ~ScopedSeam() { slot_ = saved_; }
  ScopedSeam(const ScopedSeam&) = delete;
  ScopedSeam& operator=(const ScopedSeam&) = delete;

 private:
  Fn& slot_;
  Fn saved_;
};

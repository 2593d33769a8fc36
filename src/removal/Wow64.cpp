#include "removal/Wow64.h"

#include "framework/Seam.h"

bool g_Is64BitWindows = false;

BOOL IsWow64() {
  BOOL result = FALSE;
  try {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto fn = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(Seam().GetProcAddress(kernel, "IsWow64Process")));
    if (fn == nullptr) return FALSE;
    BOOL flag = FALSE;
    if (fn(::GetCurrentProcess(), &flag)) result = flag;
  } catch (...) {
  }
  return result;
}

std::string NativeSystemFolder(const std::string& windowsDir, bool is64Bit) {
  return windowsDir + (is64Bit ? "\\SYSNATIVE\\" : "\\SYSTEM32\\");
}

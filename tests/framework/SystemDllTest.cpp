#include <gtest/gtest.h>

#include <objbase.h>

#include "framework/Application.h"
#include "framework/SystemDll.h"

namespace {

// What cannot be loaded fails like the call would: the failure result and an
// error saying why.
TEST(SystemDll, AMissingDllOrFunctionFailsWithItsError) {
  ::SetLastError(0);
  EXPECT_EQ(SystemDllFunction("quellix-no-such.dll", "InternetOpenA"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  ::SetLastError(0);
  EXPECT_EQ(SystemDllFunction("wininet.dll", "QuellixNoSuchFunction"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

  ::SetLastError(0);
  EXPECT_EQ((CallSystemDll<decltype(::InternetOpenA)>("quellix-no-such.dll", "InternetOpenA",
                                                      HINTERNET(nullptr), "agent", DWORD(0),
                                                      LPCSTR(nullptr), LPCSTR(nullptr), DWORD(0))),
            nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  // Found, it is the system's own function.
  EXPECT_EQ(reinterpret_cast<void*>(SystemDllFunction("WININET.DLL", "InternetOpenA")),
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("wininet.dll"), "InternetOpenA")));
}

// The shell's first call sets up COM for this thread as the shell wants it:
// apartment-threaded, so a later multithreaded start is refused.
TEST(SystemDll, TheFirstShellCallStartsApartmentThreadedCom) {
  const HINSTANCE result = late::ShellExecuteA(nullptr, "open", "C:\\quellix-no-such-file.txt",
                                               "", "", SW_SHOWNORMAL);
  EXPECT_LE(reinterpret_cast<INT_PTR>(result), 32);
  EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
}

// The program's windows come without the input method: none of them takes
// typed text. Switched off with the first one, the application window.
TEST(SystemDll, TheProgramsWindowsHaveNoInputMethod) {
  Application->Initialize();
  const HWND app = Application->Handle();
  ASSERT_NE(app, nullptr);
  const HWND later = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(::ImmGetDefaultIMEWnd(app), nullptr);
  EXPECT_EQ(::ImmGetDefaultIMEWnd(later), nullptr);
  ::DestroyWindow(later);
}

}  // namespace

#include <gtest/gtest.h>

#include <objbase.h>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/SystemDll.h"
#include "support/TestSupport.h"

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

// COM as the shell calls want it: starting a script leaves it alone (no COM
// window comes with the start); opening a page or document sets it up
// apartment-threaded for good, so a later multithreaded start is refused.
TEST(SystemDll, OnlyPagesAndDocumentsStartCom) {
  testing_support::ScratchDir dir;
  const std::string script = dir / "done.bat";
  testing_support::WriteFileText(script, "@exit /b 0\r\n");
  SHELLEXECUTEINFOA launch = {};
  launch.cbSize = sizeof(launch);
  launch.fMask = SEE_MASK_NOCLOSEPROCESS;
  launch.lpVerb = "open";
  launch.lpFile = script.c_str();
  ASSERT_TRUE(late::ShellExecuteExA(&launch));
  const UniqueHandle process(launch.hProcess);
  EXPECT_EQ(::WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  ::CoUninitialize();

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
  const UniqueWindow later(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                             nullptr, nullptr, nullptr));
  ASSERT_TRUE(later);
  EXPECT_EQ(::ImmGetDefaultIMEWnd(app), nullptr);
  EXPECT_EQ(::ImmGetDefaultIMEWnd(later.get()), nullptr);
}

}  // namespace

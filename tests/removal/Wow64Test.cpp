#include <gtest/gtest.h>

#include <cstring>

#include "framework/Seam.h"
#include "removal/Wow64.h"

namespace {

BOOL WINAPI ReportsWow64(HANDLE, PBOOL flag) {
  *flag = TRUE;
  return TRUE;
}
BOOL WINAPI FailsToTell(HANDLE, PBOOL flag) {
  *flag = TRUE;  // whatever it stored, a failed call counts for nothing
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

decltype(&::IsWow64Process) g_lookedUp = nullptr;

FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  if (std::strcmp(name, "IsWow64Process") == 0)
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(g_lookedUp));
  return ::GetProcAddress(module, name);
}

TEST(Wow64, FlagComesFromIsWow64ProcessFoundAtRunTime) {
  ScopedSeam<decltype(&::GetProcAddress)> seam(Seam().GetProcAddress, &LookUp);
  g_lookedUp = &ReportsWow64;
  EXPECT_NE(IsWow64(), FALSE);
  g_lookedUp = &FailsToTell;
  EXPECT_EQ(IsWow64(), FALSE);
  g_lookedUp = nullptr;  // a system without IsWow64Process
  EXPECT_EQ(IsWow64(), FALSE);
}

TEST(Wow64, A64BitProcessIsNotUnderWow64) {
  // The test build is itself a 64-bit program: the real lookup says "no".
  EXPECT_EQ(IsWow64(), FALSE);
}

TEST(Wow64, NativeSystemFolderSpellings) {
  EXPECT_EQ(NativeSystemFolder("C:\\Windows", true), "C:\\Windows\\SYSNATIVE\\");
  EXPECT_EQ(NativeSystemFolder("C:\\Windows", false), "C:\\Windows\\SYSTEM32\\");
}

}  // namespace

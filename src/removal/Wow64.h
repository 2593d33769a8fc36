// 64-bit Windows detection and the native system folder. The program is a
// 32-bit process; on 64-bit Windows it reaches the real system folder through
// the SYSNATIVE alias.
#pragma once

#include <windows.h>

#include <string>

// Nonzero when this process runs under WoW64 (32-bit program, 64-bit Windows);
// 0 otherwise, also when the system cannot tell. IsWow64Process is looked up
// at run time because old systems lack it.
BOOL IsWow64();

// The 64-bit flag of this run, set once at start-up.
extern bool g_Is64BitWindows;

// Windows directory + "\SYSNATIVE\" (64-bit flag set) or "\SYSTEM32\".
std::string NativeSystemFolder(const std::string& windowsDir, bool is64Bit);

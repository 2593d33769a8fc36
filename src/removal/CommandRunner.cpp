#include "removal/CommandRunner.h"

#include <windows.h>
#include <shellapi.h>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Seam.h"
#include "framework/SystemDll.h"

#ifndef _WIN64
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "launch record of the 32-bit program");
#endif

bool g_StopWaiting = false;

namespace {

constexpr DWORD kWaitSliceMs = 100;

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WaitResponsively(HANDLE process) {
  for (;;) {
    // WAIT_FAILED ends the wait too: the handle would never be signalled.
    if (::WaitForSingleObject(process, kWaitSliceMs) != WAIT_TIMEOUT) return;
    // A close of the program ends every wait, as "Stop Waiting..." ends one:
    // the pass then finishes its steps and the program ends.
    if (g_StopWaiting || Application->Terminated()) return;
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
    if (msg.message == WM_QUIT) {
      // The quit belongs to the application's own loop: hand it back.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    // Tab, Enter and Escape work here as in the application's own loop.
    Application->HandleMessage(msg);
  }
}

}  // namespace

bool RunAndWait(const std::string& file, const std::string& parameters,
                const std::string& directory, int showCommand) {
  if (!FileExists(file)) return false;
  try {
    // A downloaded script would otherwise stop at the "open file" warning.
    Seam().DeleteFileA((file + ":Zone.Identifier:$DATA").c_str());
  } catch (...) {
  }
  g_StopWaiting = false;

  SHELLEXECUTEINFOA launch = {};
  launch.cbSize = sizeof(launch);
  launch.fMask = SEE_MASK_NOCLOSEPROCESS;
  launch.hwnd = nullptr;
  launch.lpVerb = "open";
  launch.lpFile = file.c_str();
  launch.lpParameters = parameters.c_str();
  launch.lpDirectory = directory.c_str();
  launch.nShow = showCommand;
  const bool started = late::ShellExecuteExA(&launch) != FALSE;
  UniqueHandle process(launch.hProcess);
  if (process) {
    try {
      WaitResponsively(process.get());
    } catch (...) {
      // A handler that threw ends the wait; the start still counts.
    }
  }
  return started;
}

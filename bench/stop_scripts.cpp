// A second yardstick for the "/auto" benchmark: a window program with no
// window that starts the two scripts the way quellix.exe does (the shell's
// "open", hidden, the same parameters and working directory) and waits for
// each, and does nothing else. Under it the scripts run with the console
// host that any window program's scripts get.
#include <windows.h>
#include <shellapi.h>

#include "framework/Handles.h"

namespace {

bool RunHidden(const char* file, const char* parameters, const char* directory) {
  SHELLEXECUTEINFOA launch = {};
  launch.cbSize = sizeof(launch);
  launch.fMask = SEE_MASK_NOCLOSEPROCESS;
  launch.lpVerb = "open";
  launch.lpFile = file;
  launch.lpParameters = parameters;
  launch.lpDirectory = directory;
  launch.nShow = SW_HIDE;
  if (!::ShellExecuteExA(&launch)) return false;
  UniqueHandle process(launch.hProcess);
  return process && ::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

int main() {
  const char folder[] = "C:\\Quellix\\";
  const bool ran = RunHidden("C:\\Quellix\\stop-gwx-from-startup.bat", ">log.txt", folder) &&
                   RunHidden("C:\\Quellix\\disable-triggers.cmd", ">>log.txt", folder);
  return ran ? 0 : 1;
}

// A second yardstick for the "/auto" benchmark: a window program with no
// window that starts the two scripts the way quellix.exe does (the shell's
// "open", hidden, the same parameters and working directory) and waits for
// each, and does nothing else. Under it the scripts run with the console
// host that any window program's scripts get.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "framework/Handles.h"

namespace {

const char kFolder[] = "C:\\Quellix\\";

bool RunHidden(const char* name, const char* parameters) {
  const std::string file = std::string(kFolder) + name;
  SHELLEXECUTEINFOA launch = {};
  launch.cbSize = sizeof(launch);
  launch.fMask = SEE_MASK_NOCLOSEPROCESS;
  launch.lpVerb = "open";
  launch.lpFile = file.c_str();
  launch.lpParameters = parameters;
  launch.lpDirectory = kFolder;
  launch.nShow = SW_HIDE;
  if (!::ShellExecuteExA(&launch)) return false;
  UniqueHandle process(launch.hProcess);
  return process && ::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

int main() {
  const bool ran = RunHidden("stop-gwx-from-startup.bat", ">log.txt") &&
                   RunHidden("disable-triggers.cmd", ">>log.txt");
  return ran ? 0 : 1;
}

#include "app/GwxState.h"

#include "framework/SysUtils.h"
#include "removal/Wow64.h"

std::string GwxFolder(const std::string& windowsDir, bool is64Bit) {
  return NativeSystemFolder(windowsDir, is64Bit) + "GWX";
}

int DetectGwxState(const std::string& windowsDir, bool is64Bit) {
  std::string path = GwxFolder(windowsDir, is64Bit);
  if (PathExists(path)) return gwxInstalled;
  path += "-";
  return PathExists(path) ? gwxDisabled : gwxNotInstalled;
}

#include "app/GwxState.h"

#include "framework/SysUtils.h"
#include "removal/Wow64.h"

std::string GwxFolder(const std::string& windowsDir, bool is64Bit) {
  return NativeSystemFolder(windowsDir, is64Bit) + "GWX";
}

int DetectGwxState(const std::string& windowsDir, bool is64Bit) {
  const std::string path = GwxFolder(windowsDir, is64Bit);
  if (PathExists(path)) return gwxInstalled;
  // An earlier pass that found GWX- taken moved GWX to GWX--: disabled too.
  return PathExists(path + "-") || PathExists(path + "--") ? gwxDisabled : gwxNotInstalled;
}

#include "framework/SysUtils.h"

#include <windows.h>

#include "framework/Args.h"

std::string ExtractFilePath(const std::string& path) {
  const size_t pos = path.find_last_of("\\:");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExecutableFolder() { return ExtractFilePath(ParamStr(0)); }

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

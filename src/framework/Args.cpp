#include "framework/Args.h"

#include <windows.h>

namespace {

bool IsSeparator(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u != 0 && u <= ' ';
}

// Reads one token starting at p; returns the position after it.
const char* NextToken(const char* p, std::string& token, bool& found) {
  for (;;) {
    while (IsSeparator(*p)) ++p;
    if (p[0] == '"' && p[1] == '"')
      p += 2;  // an empty quoted pair between arguments counts for nothing
    else
      break;
  }
  token.clear();
  found = *p != 0;
  while (*p != 0 && !IsSeparator(*p)) {
    if (*p == '"') {
      ++p;
      while (*p != 0 && *p != '"') token += *p++;
      if (*p != 0) ++p;
    } else {
      token += *p++;
    }
  }
  return p;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> result;
  if (commandLine == nullptr) return result;
  std::string token;
  bool found = false;
  const char* p = commandLine;
  for (;;) {
    p = NextToken(p, token, found);
    if (!found) break;
    result.push_back(token);
  }
  return result;
}

std::string ParamStr(int index) {
  if (index == 0) {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH + 1);
    return std::string(path, n);
  }
  const std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
  if (index < 0 || static_cast<size_t>(index) >= args.size()) return std::string();
  return args[static_cast<size_t>(index)];
}

int ParamCount() {
  const size_t n = SplitCommandLine(GetCommandLineA()).size();
  return n == 0 ? 0 : static_cast<int>(n - 1);
}

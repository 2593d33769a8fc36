#include "framework/SysUtils.h"

#include <windows.h>

#include "framework/Seam.h"

std::string ExtractFilePath(const std::string& path) {
  const size_t pos = path.find_last_of("\\:");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

namespace {

// Every name the program puts in its folder fits in this, with room to spare.
constexpr size_t kFileNameRoom = 32;

// The text in the system code page, or nothing where a character has no
// exact form there (a best-fit look-alike could name another file).
bool ToAnsiExactly(const std::wstring& text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0,
                                      nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out.resize(static_cast<size_t>(n));
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, &out[0], n, nullptr,
                        &lossy);
  return !lossy;
}

// The executable's full path as the system has it.
std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  const DWORD n = Seam().GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  return path;
}

// The executable's folder as the system has it, with its trailing "\".
std::wstring ModuleFolder() {
  const std::wstring path = ModulePath();
  const size_t pos = path.find_last_of(L"\\:");
  return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

}  // namespace

std::string AnsiPath(const std::wstring& path, size_t room) {
  std::string ansi;
  if (ToAnsiExactly(path, ansi) && ansi.size() + room < MAX_PATH) return ansi;
  // The short form is plain ASCII and shorter; a volume with 8.3 names
  // switched off has none.
  std::wstring shortPath(32768, L'\0');
  const DWORD n = ::GetShortPathNameW(path.c_str(), &shortPath[0],
                                      static_cast<DWORD>(shortPath.size()));
  if (n == 0 || n >= shortPath.size()) return std::string();
  shortPath.resize(n);
  if (ToAnsiExactly(shortPath, ansi) && ansi.size() + room < MAX_PATH) return ansi;
  return std::string();
}

std::string ExecutableFolder() { return AnsiPath(ModuleFolder(), kFileNameRoom); }

bool ExecutablePathSpelled() {
  std::string ansi;
  return ToAnsiExactly(ModulePath(), ansi);
}

std::string ExecutablePath() { return AnsiPath(ModulePath()); }

std::string ExecutableFolderShown() {
  const std::wstring folder = ModuleFolder();
  const int length = static_cast<int>(folder.size());
  const int n = ::WideCharToMultiByte(CP_ACP, 0, folder.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string shown(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, folder.data(), length, &shown[0], n, nullptr, nullptr);
  return shown;
}

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

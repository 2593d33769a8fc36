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

// `text` in the system code page; `lossy`, where given, is set when a
// character had no exact form there.
std::string ToAnsi(const std::wstring& text, DWORD flags, BOOL* lossy) {
  const int length = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, lossy);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, &out[0], n, nullptr, lossy);
  return out;
}

// The text in the system code page, in `out`; false where a character has
// no exact form there (a best-fit look-alike could name another file).
bool ToAnsiExactly(const std::wstring& text, std::string& out) {
  BOOL lossy = FALSE;
  out = ToAnsi(text, WC_NO_BEST_FIT_CHARS, &lossy);
  return !lossy && out.empty() == text.empty();
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
  const auto fits = [&](const std::wstring& form) {
    return ToAnsiExactly(form, ansi) && ansi.size() + room < MAX_PATH;
  };
  if (fits(path)) return ansi;
  // The short form is plain ASCII and shorter; a volume with 8.3 names
  // switched off has none.
  std::wstring shortPath(32768, L'\0');
  const DWORD n = ::GetShortPathNameW(path.c_str(), &shortPath[0],
                                      static_cast<DWORD>(shortPath.size()));
  if (n == 0 || n >= shortPath.size()) return std::string();
  shortPath.resize(n);
  return fits(shortPath) ? ansi : std::string();
}

std::string ExecutableFolder() { return AnsiPath(ModuleFolder(), kFileNameRoom); }

bool ExecutablePathSpelled() {
  std::string ansi;
  return ToAnsiExactly(ModulePath(), ansi);
}

std::string ExecutablePath() { return AnsiPath(ModulePath()); }

std::string ExecutableFolderShown() { return ToAnsi(ModuleFolder(), 0, nullptr); }

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

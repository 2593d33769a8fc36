#include "framework/SysUtils.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "framework/Seam.h"

std::string ExtractFilePath(const std::string& path) {
  const size_t pos = path.find_last_of("\\:");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

namespace {

// Every name the program puts in its folder fits in this, with room to spare.
constexpr size_t kFileNameRoom = 32;
// The longest path the wide functions hand back, with its terminating zero.
constexpr DWORD kWideRoom = 32768;

// A wide text ending in a zero. Not std::wstring: the linker keeps every
// function of the C++ library's wide-string code once one is used (their
// unwind tables name them all), about 35 KB of the exe for three calls.
using WideText = std::vector<wchar_t>;

// `text` in the system code page, in `out`. With `exact`, false where a
// character has no exact form there: a best-fit look-alike or a "?" could
// name another file.
bool ToAnsi(const wchar_t* text, bool exact, std::string& out) {
  out.clear();
  const int length = static_cast<int>(std::wcslen(text));
  if (length == 0) return true;
  UINT codePage = CP_ACP;
  DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL lossy = FALSE;
  BOOL* lossyOut = exact ? &lossy : nullptr;
  if (Seam().GetACP() == CP_UTF8) {
    // UTF-8 spells every character but a lone surrogate, and refuses both
    // checks above outright, which would make every folder unusable: it is
    // asked only to fail on a lone surrogate instead of writing U+FFFD.
    codePage = CP_UTF8;
    flags = exact ? WC_ERR_INVALID_CHARS : 0;
    lossyOut = nullptr;
  }
  const int n = ::WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, lossyOut);
  if (n <= 0) return false;
  out.assign(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, flags, text, length, &out[0], n, nullptr, lossyOut);
  return !lossy;
}

// The executable's full path as the system has it; empty when it cannot be had.
WideText ModulePath() {
  WideText path(kWideRoom);
  const DWORD n = Seam().GetModuleFileNameW(nullptr, path.data(), kWideRoom);
  path.resize(n < kWideRoom ? n : 0);
  path.push_back(L'\0');
  return path;
}

// The executable's folder as the system has it, with its trailing "\".
WideText ModuleFolder() {
  WideText path = ModulePath();
  size_t end = path.size() - 1;
  while (end > 0 && path[end - 1] != L'\\' && path[end - 1] != L':') --end;
  path.resize(end);
  path.push_back(L'\0');
  return path;
}

}  // namespace

std::string AnsiPath(const wchar_t* path, size_t room) {
  std::string ansi;
  const auto fits = [&](const wchar_t* form) {
    return ToAnsi(form, true, ansi) && ansi.size() + room < MAX_PATH;
  };
  if (fits(path)) return ansi;
  // The short form is plain ASCII and shorter; a volume with 8.3 names
  // switched off has none.
  WideText shortPath(kWideRoom);
  const DWORD n = ::GetShortPathNameW(path, shortPath.data(), kWideRoom);
  if (n == 0 || n >= kWideRoom) return std::string();
  return fits(shortPath.data()) ? ansi : std::string();
}

std::string ExecutableFolder() { return AnsiPath(ModuleFolder().data(), kFileNameRoom); }

bool ExecutablePathSpelled() {
  std::string ansi;
  return ToAnsi(ModulePath().data(), true, ansi);
}

std::string ExecutablePath() { return AnsiPath(ModulePath().data()); }

std::string ExecutableFolderShown() {
  std::string shown;
  ToAnsi(ModuleFolder().data(), false, shown);
  return shown;
}

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

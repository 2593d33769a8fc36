// DeleteTree against "cmd /c rd /s /q" on two identical trees of 2,000 files
// in 40 folders, in one run. DeleteTree logs every step to a diagnostic log,
// as it does in the stop procedure.
#include <windows.h>

#include <cstdio>
#include <string>

#include "removal/DiagnosticLog.h"
#include "removal/TreeRemoval.h"

namespace {

constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 50;

double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool MakeTree(const std::string& top) {
  if (!::CreateDirectoryA(top.c_str(), nullptr)) return false;
  const std::string content(512, 'x');
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = top + "\\folder" + std::to_string(f);
    if (!::CreateDirectoryA(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::string file = folder + "\\file" + std::to_string(i) + ".bin";
      HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) return false;
      DWORD written = 0;
      ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
      ::CloseHandle(h);
      // Some resist deletion as GWX's files do.
      if (i % 5 == 0) ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    }
  }
  return true;
}

bool RunCmd(const std::string& arguments) {
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  std::string line = std::string(system) + "\\cmd.exe " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
    return false;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

int main() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string base =
      std::string(temp) + "removal_bench_" + std::to_string(::GetCurrentProcessId());
  const std::string ours = base + "_ours", theirs = base + "_rd";
  if (!MakeTree(ours) || !MakeTree(theirs)) {
    std::printf("cannot build the trees under %s\n", temp);
    return 1;
  }
  g_DiagnosticLogPath = base + "_log2.txt";

  const double t0 = Now();
  DeleteTree(ours);
  const double t1 = Now();
  ::RemoveDirectoryA(ours.c_str());  // as the stop procedure does after the walk
  const double ourMs = t1 - t0;

  const double t2 = Now();
  RunCmd("/c rd /s /q \"" + theirs + "\"");
  const double rdMs = Now() - t2;

  const bool oursGone = ::GetFileAttributesA(ours.c_str()) == INVALID_FILE_ATTRIBUTES;
  const bool theirsGone = ::GetFileAttributesA(theirs.c_str()) == INVALID_FILE_ATTRIBUTES;
  WIN32_FILE_ATTRIBUTE_DATA log = {};
  ::GetFileAttributesExA(g_DiagnosticLogPath.c_str(), GetFileExInfoStandard, &log);
  ::DeleteFileA(g_DiagnosticLogPath.c_str());

  std::printf("tree: %d files in %d folders (every fifth read-only)\n", kFolders * kFilesPerFolder,
              kFolders);
  std::printf("DeleteTree         %9.1f ms  (tree removed: %s, log2.txt %lu bytes)\n", ourMs,
              oursGone ? "yes" : "NO", static_cast<unsigned long>(log.nFileSizeLow));
  std::printf("cmd /c rd /s /q    %9.1f ms  (tree removed: %s)\n", rdMs,
              theirsGone ? "yes" : "NO");
  std::printf("ratio DeleteTree / rd: %.2f\n", rdMs > 0 ? ourMs / rdMs : 0.0);
  return oursGone && theirsGone ? 0 : 1;
}

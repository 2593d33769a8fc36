// Times a program from CreateProcess to its first complete paint: the moment
// its window is visible and its thread has gone idle, which it does only
// once no message, paint included, is left in its queue. Then closes it.
//   bench_startup_launcher RUNS EXE CAPTION [EXE CAPTION ...]
// Prints one line per run and the median of each program, in milliseconds;
// the programs take turns, so that both meet the same machine load.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/Handles.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds to the first complete paint, or a negative number.
double TimeOneStart(const std::string& exe, const std::string& caption) {
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  const double start = Now();
  if (!::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
    return -1;
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  double elapsed = -1;
  HWND window = nullptr;
  const double deadline = start + 60000;
  while (Now() < deadline) {
    // Idle once; then the window must be there and showing (an early idle,
    // before the window was shown, waits again).
    ::WaitForInputIdle(process.get(), 1000);
    window = ::FindWindowA(nullptr, caption.c_str());
    if (window && ::IsWindowVisible(window)) {
      ::WaitForInputIdle(process.get(), 60000);
      elapsed = Now() - start;
      break;
    }
    if (::WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) break;
  }
  if (window) ::PostMessageA(window, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    return -1;
  }
  return elapsed;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2) {
    std::fprintf(stderr, "usage: bench_startup_launcher RUNS EXE CAPTION [EXE CAPTION ...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const int programs = (argc - 2) / 2;
  std::vector<std::vector<double>> times(programs);
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches and is not counted
    for (int p = 0; p < programs; ++p) {
      const double ms = TimeOneStart(argv[2 + 2 * p], argv[3 + 2 * p]);
      if (ms < 0) {
        std::printf("%s: no window painted\n", argv[2 + 2 * p]);
        return 1;
      }
      std::printf("run %d  %-40s %8.1f ms%s\n", run, argv[2 + 2 * p], ms, run ? "" : "  (warm-up)");
      if (run) times[p].push_back(ms);
    }
  }
  for (int p = 0; p < programs; ++p)
    std::printf("median %-40s %8.1f ms\n", argv[2 + 2 * p], Median(times[p]));
  if (programs == 2)
    std::printf("ratio %s / %s = %.2f\n", argv[2], argv[4], Median(times[0]) / Median(times[1]));
  std::fflush(stdout);
  return 0;
}

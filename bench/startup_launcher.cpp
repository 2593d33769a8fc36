// Times a program from CreateProcess to its first complete paint: the moment
// its window is visible, its thread has gone idle and neither the window nor
// any window in it is still waiting to be painted. Idle alone is not enough:
// under Wine a program also goes idle inside its own ShowWindow (activation
// peeks at the queue), before it has drawn anything. Then closes it.
//   bench_startup_launcher RUNS EXE CAPTION [EXE CAPTION ...]
// Prints one line per run and the median of each program, in milliseconds;
// the programs take turns, so that both meet the same machine load.
// With QUELLIX_STARTUP_MARKS set to a file (the programs inherit it), a
// program that writes start-up marks there also gets its phases: from
// process start to each mark, and from the last mark to the first paint.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "framework/Handles.h"

namespace {

double CounterToMs(long long counter) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter) / static_cast<double>(frequency.QuadPart);
}

double Now() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return CounterToMs(counter.QuadPart);
}

// The marks file the programs write, or empty.
std::string MarksFile() {
  char path[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableA("QUELLIX_STARTUP_MARKS", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

// The marks of one run in the order written: (name, ms on the Now() clock).
std::vector<std::pair<std::string, double>> ReadMarks(const std::string& file) {
  std::vector<std::pair<std::string, double>> marks;
  std::ifstream in(file);
  std::string name;
  long long counter;
  while (in >> name >> counter) marks.emplace_back(name, CounterToMs(counter));
  return marks;
}

// Phases of the last run: "start->NAME" for the first mark, "PREV->NAME"
// after it, and "LAST->first paint".
std::vector<std::pair<std::string, double>> g_phases;

BOOL CALLBACK FindUnpainted(HWND child, LPARAM found) {
  // A hidden window is not drawn, whatever its update region.
  if (!::IsWindowVisible(child) || !::GetUpdateRect(child, nullptr, FALSE)) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

// Some part of the window or of a window in it is still to be painted.
bool PaintPending(HWND window) {
  if (::GetUpdateRect(window, nullptr, FALSE)) return true;
  bool found = false;
  ::EnumChildWindows(window, &FindUnpainted, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Milliseconds to the first complete paint, or a negative number.
double TimeOneStart(const std::string& exe, const std::string& caption) {
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  const std::string marksFile = MarksFile();
  if (!marksFile.empty()) ::DeleteFileA(marksFile.c_str());
  g_phases.clear();
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
      // Timed when the check starts: it asks about every window of the
      // program, which takes a few milliseconds of its own under Wine.
      for (;;) {
        ::WaitForInputIdle(process.get(), 60000);
        const double checked = Now();
        if (!PaintPending(window)) {
          elapsed = checked - start;
          break;
        }
        if (checked > deadline || ::WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) break;
      }
      break;
    }
    if (::WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) break;
  }
  if (window) ::PostMessageA(window, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    return -1;
  }
  if (!marksFile.empty() && elapsed >= 0) {
    std::string previous = "start";
    double at = start;
    for (const auto& mark : ReadMarks(marksFile)) {
      g_phases.emplace_back(previous + "->" + mark.first, mark.second - at);
      previous = mark.first;
      at = mark.second;
    }
    if (!g_phases.empty()) g_phases.emplace_back(previous + "->first paint", start + elapsed - at);
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
  // Per program, the phases in their order with every run's figure.
  std::vector<std::vector<std::pair<std::string, std::vector<double>>>> phases(programs);
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches and is not counted
    for (int p = 0; p < programs; ++p) {
      const double ms = TimeOneStart(argv[2 + 2 * p], argv[3 + 2 * p]);
      if (ms < 0) {
        std::printf("%s: no window painted\n", argv[2 + 2 * p]);
        return 1;
      }
      std::printf("run %d  %-40s %8.1f ms%s\n", run, argv[2 + 2 * p], ms, run ? "" : "  (warm-up)");
      if (!run) continue;
      times[p].push_back(ms);
      auto& mine = phases[p];
      for (size_t i = 0; i < g_phases.size(); ++i) {
        if (i == mine.size()) mine.emplace_back(g_phases[i].first, std::vector<double>());
        if (mine[i].first == g_phases[i].first) mine[i].second.push_back(g_phases[i].second);
      }
    }
  }
  for (int p = 0; p < programs; ++p)
    std::printf("median %-40s %8.1f ms\n", argv[2 + 2 * p], Median(times[p]));
  for (int p = 0; p < programs; ++p) {
    if (phases[p].empty()) continue;
    std::printf("phases of %s (medians):\n", argv[2 + 2 * p]);
    for (const auto& phase : phases[p])
      std::printf("  %-28s %8.1f ms\n", phase.first.c_str(), Median(phase.second));
  }
  if (programs == 2)
    std::printf("ratio %s / %s = %.2f\n", argv[2], argv[4], Median(times[0]) / Median(times[1]));
  std::fflush(stdout);
  return 0;
}

#include "framework/StartupMarks.h"

#ifdef QUELLIX_MARKS

#include <windows.h>

#include "framework/Handles.h"

namespace {

// Digits of `value` written backwards from `end`; the first digit.
char* Decimal(unsigned long long value, char* end) {
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  return end;
}

}  // namespace

void StartupMark(const char* name) {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  static char path[MAX_PATH];
  static const bool wanted =
      ::GetEnvironmentVariableA("QUELLIX_STARTUP_MARKS", path, MAX_PATH) - 1u < MAX_PATH - 1u;
  if (!wanted) return;
  char line[96];
  int length = 0;
  while (name[length] && length < 60) {
    line[length] = name[length];
    ++length;
  }
  line[length++] = ' ';
  char digits[24];
  char* const end = digits + sizeof(digits);
  for (char* d = Decimal(static_cast<unsigned long long>(now.QuadPart), end); d < end; ++d)
    line[length++] = *d;
  line[length++] = '\r';
  line[length++] = '\n';
  UniqueFile file(::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.get(), line, static_cast<DWORD>(length), &written, nullptr);
}

#endif  // QUELLIX_MARKS

#include "removal/DiagnosticLog.h"

#include "framework/Handles.h"

std::string g_DiagnosticLogPath;

std::string FormatLogDateTime(const SYSTEMTIME& time) {
  char buffer[128] = {};
  std::string text;
  if (::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer,
                       sizeof(buffer)) > 0)
    text = buffer;
  if (time.wHour != 0 || time.wMinute != 0 || time.wSecond != 0) {
    buffer[0] = 0;
    if (::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, sizeof(buffer)) > 0) {
      text += ' ';
      text += buffer;
    }
  }
  return text;
}

void WriteLog(const std::string& message) {
  if (g_DiagnosticLogPath.empty()) return;
  try {
    const char* path = g_DiagnosticLogPath.c_str();
    UniqueFile file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND)
      file.reset(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    if (::SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR)
      return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string entry = FormatLogDateTime(now) + "\r\n" + message + "\r\n";
    DWORD written = 0;
    ::WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
  } catch (...) {
    // A lost entry must never stop the caller.
  }
}

// The diagnostic log "log2.txt": the program's own record of what the stop
// procedure did to files and what failed.
#pragma once

#include <windows.h>

#include <string>

// Set once at start-up; nothing is written while it is empty.
extern std::string g_DiagnosticLogPath;

// Appends one entry: the local date (and time, unless it is 00:00:00) in the
// platform's short date and long time formats, CR LF, the message byte for
// byte, CR LF. Every failure is swallowed: the entry is then lost.
void WriteLog(const std::string& message);

// The first line of an entry written at the given local time.
std::string FormatLogDateTime(const SYSTEMTIME& time);

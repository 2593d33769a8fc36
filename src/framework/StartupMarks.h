// Timing for the benchmarks: the phases of start-up and of a stop pass. Only
// builds made for the benchmarks have them (QUELLIX_MARKS): there, when the
// environment variable QUELLIX_STARTUP_MARKS names a file, each mark appends
// one line "name counter" (the QueryPerformanceCounter value) to it. In every
// other build a mark is nothing, so that the elevated program never writes
// where an environment setting points.
#pragma once

#ifdef QUELLIX_MARKS
void StartupMark(const char* name);
#else
inline void StartupMark(const char*) {}
#endif

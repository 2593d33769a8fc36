// Timing for the benchmarks: the phases of start-up and of a stop pass. When
// the environment variable QUELLIX_STARTUP_MARKS names a file, each mark
// appends one line "name counter" (the QueryPerformanceCounter value) to it;
// otherwise a mark only looks at a flag read once.
#pragma once

void StartupMark(const char* name);

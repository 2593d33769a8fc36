// How a run goes, chosen by the first command-line argument alone, compared
// whole and case-sensitively.
#pragma once

#include <functional>
#include <string>

enum class RunMode { Interactive, Automatic, PostInstall };

RunMode ModeForArgument(const std::string& firstArgument);

// The program entry's frame: runs `steps`; an exception of any kind that
// escapes them is shown in the application's standard exception box. Returns
// the exit code, 0 whatever happened.
int RunProgram(const std::function<void()>& steps);

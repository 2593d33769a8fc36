// The command line, split the way the framework's ParamStr splits it:
// characters 1 to 32 separate arguments; a stretch between double quotes
// belongs to the argument, without its quotes, and may hold blanks.
#pragma once

#include <string>
#include <vector>

// Every token of the command line, the program's own name first.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Argument i of this process's command line (0: the module's full path),
// empty when there is no such argument.
std::string ParamStr(int index);
int ParamCount();

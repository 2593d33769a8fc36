// How a run goes, chosen by the first command-line argument alone, compared
// whole and case-sensitively.
#pragma once

#include <string>

enum class RunMode { Interactive, Automatic, PostInstall };

RunMode ModeForArgument(const std::string& firstArgument);

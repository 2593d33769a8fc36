// Whether GWX is installed, absent, or moved aside by an earlier pass.
#pragma once

#include <string>

enum GwxState { gwxInstalled = 0, gwxNotInstalled = 1, gwxDisabled = 2 };

// The GWX folder is probed first, so with both folders present the state is
// "installed"; GWX moved to either of the stop procedure's names counts as
// "disabled". A plain file counts like a folder; a failed probe counts as
// "not there".
int DetectGwxState(const std::string& windowsDir, bool is64Bit);

// Native system folder + "GWX".
std::string GwxFolder(const std::string& windowsDir, bool is64Bit);

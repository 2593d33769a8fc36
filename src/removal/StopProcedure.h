// The file work of one "Stop GWX!" pass that needs no window: the command
// file, the removal of an earlier disabled GWX folder and the rename.
#pragma once

#include <string>
#include <vector>

// Where the Task Scheduler keeps the GWX tasks, and their names' prefix.
std::string GwxTaskFolder(const std::string& nativeSystemFolder);
extern const char kGwxTaskPrefix[];

// Writes the command list anew, each line followed by CR LF, after a first
// line that makes the system folder the current one (or ends the file), or
// deletes the file when the list is empty, so that an earlier pass's file is
// not run again. False when the file could not be written.
bool SaveCommandFile(const std::string& path, const std::vector<std::string>& lines);

// Empties and removes GWX folder + "-" (left by an earlier pass), then gives
// the GWX folder that name, or GWX folder + "--" when it is still taken.
// Every step is logged; nothing is raised.
void RemoveDisabledGwx(const std::string& gwxFolder);
void RenameGwx(const std::string& gwxFolder);

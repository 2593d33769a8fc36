// The command lines that end and disable every scheduled task found in a
// folder of the Task Scheduler's task files.
#pragma once

#include <string>
#include <vector>

// Walks folder and its subfolders; for each task file appends
//   schtasks /end /tn "<task>"
//   schtasks /change /tn "<task>" /DISABLE
// where <task> is prefix + "\" + the file's path below folder, and resets the
// file's rights. A "%" in the task name is doubled, since the lines run in a
// command file. Handles all pending messages at each entry. No list: nothing.
void CollectTaskCommands(const std::string& folder, const std::string& prefix,
                         std::vector<std::string>* list);

#include "removal/TaskCommands.h"

#include <windows.h>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Seam.h"
#include "removal/Privileges.h"
#include "removal/TreeRemoval.h"

namespace {

std::string WithBackslash(const std::string& path) {
  if (path.empty() || path.back() != '\\') return path + '\\';
  return path;
}

// cmd.exe expands %...% even inside quotes; a doubled "%" stays one "%".
std::string EscapePercent(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    escaped += c;
    if (c == '%') escaped += '%';
  }
  return escaped;
}

}  // namespace

void CollectTaskCommands(const std::string& folder, const std::string& prefix,
                         std::vector<std::string>* list) {
  if (list == nullptr) return;
  const std::string dir = WithBackslash(folder);
  const std::string taskPrefix = WithBackslash(prefix);

  WIN32_FIND_DATAA entry;
  UniqueFind find(Seam().FindFirstFileA((dir + "*.*").c_str(), &entry));
  if (!find) return;
  try {
    do {
      Application->ProcessMessages();
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      // A link leads out of the task folder: the rights of what it points
      // at are not ours to reset, and a linked folder is not walked.
      const bool link = IsLinkEntry(entry);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!link) CollectTaskCommands(dir + name, taskPrefix + name, list);
      } else {
        const std::string task = EscapePercent(taskPrefix + name);
        list->push_back("schtasks /end /tn \"" + task + "\"");
        list->push_back("schtasks /change /tn \"" + task + "\" /DISABLE");
        if (!link) ResetFileRights(dir + name);
      }
    } while (Seam().FindNextFileA(find.get(), &entry));
  } catch (...) {
    // The lines added so far stay; the walk of this folder ends.
  }
}

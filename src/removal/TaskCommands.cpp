#include "removal/TaskCommands.h"

#include <windows.h>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "removal/Privileges.h"

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
  UniqueFind find(::FindFirstFileA((dir + "*.*").c_str(), &entry));
  if (!find) return;
  try {
    do {
      Application->ProcessMessages();
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        CollectTaskCommands(dir + name, taskPrefix + name, list);
      } else {
        const std::string task = EscapePercent(taskPrefix + name);
        list->push_back("schtasks /end /tn \"" + task + "\"");
        list->push_back("schtasks /change /tn \"" + task + "\" /DISABLE");
        ResetFileRights(dir + name);
      }
    } while (::FindNextFileA(find.get(), &entry));
  } catch (...) {
    // The lines added so far stay; the walk of this folder ends.
  }
}

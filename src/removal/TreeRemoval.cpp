#include "removal/TreeRemoval.h"

#include <windows.h>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Seam.h"
#include "removal/DiagnosticLog.h"
#include "removal/Privileges.h"

namespace {

void ResetRightsQuietly(const std::string& path) {
  try {
    ResetFileRights(path);
  } catch (...) {
  }
}

void RemoveDir(const std::string& p) {
  if (::RemoveDirectoryA(p.c_str()))
    WriteLog("Removed Dir :" + p);
  else
    WriteLog("Error Remove Dir :" + p);
}

void RemoveFolder(const std::string& p) {
  DeleteTree(p + "\\");
  WriteLog("ResetFileRights :" + p);
  ResetRightsQuietly(p);
  ForceDeleteFile(p);  // clears the folder's attributes; the deletion itself fails
  RemoveDir(p);
}

void LogDeletion(const std::string& p, bool deleted) {
  if (deleted) {
    WriteLog("Deleted: " + p);
    return;
  }
  const DWORD error = ::GetLastError();
  WriteLog("Cannot delete: " + p);
  WriteLog("Error: " + std::to_string(error));
}

void RemoveFile(const std::string& p) {
  WriteLog("ResetFileRights :" + p);
  ResetRightsQuietly(p);
  LogDeletion(p, ForceDeleteFile(p));
}

// A link to a file: resetting its rights or attributes would change the
// target, wherever that is. Deleting it removes the link alone.
void RemoveFileLink(const std::string& p) {
  LogDeletion(p, Seam().DeleteFileA(p.c_str()) != FALSE);
}

}  // namespace

bool IsLinkEntry(const WIN32_FIND_DATAA& entry) {
  if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  const DWORD tag = entry.dwReserved0;
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT || tag == 0;
}

bool IsLink(const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == '\\') p.pop_back();
  if (p.empty()) return false;
  WIN32_FIND_DATAA entry;
  UniqueFind find(Seam().FindFirstFileA(p.c_str(), &entry));
  return find && IsLinkEntry(entry);
}

bool ForceDeleteFile(const std::string& path) {
  // The long form skips path parsing; a path it cannot carry (relative, UNC,
  // "/" separators) still gets its attributes cleared the ordinary way.
  bool cleared = false;
  try {
    cleared = ::SetFileAttributesA(("\\\\?\\" + path).c_str(), 0) != FALSE;
  } catch (...) {
  }
  if (!cleared) ::SetFileAttributesA(path.c_str(), 0);
  return Seam().DeleteFileA(path.c_str()) != FALSE;
}

void DeleteTree(const std::string& path) {
  if (path.empty()) return;
  const std::string dir = path.back() == '\\' ? path : path + '\\';
  // A link handed in as the top leads elsewhere: the link goes, the target
  // keeps its content and its rights.
  if (IsLink(path)) {
    RemoveDir(dir.substr(0, dir.size() - 1));
    return;
  }
  ResetRightsQuietly(path);

  WIN32_FIND_DATAA entry;
  UniqueFind find(Seam().FindFirstFileA((dir + "*.*").c_str(), &entry));
  if (!find) return;
  try {
    do {
      Application->ProcessMessages();
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      // "?" stands for a character the code page cannot show; such a name
      // cannot be opened, its short name can.
      if (name.find('?') != std::string::npos && entry.cAlternateFileName[0] != '\0')
        name = entry.cAlternateFileName;
      const std::string p = dir + name;
      // A link leads out of the tree: neither the target's rights nor its
      // content are ours to touch. Only the link itself goes.
      const bool link = IsLinkEntry(entry);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        link ? RemoveDir(p) : RemoveFolder(p);
      else
        link ? RemoveFileLink(p) : RemoveFile(p);
    } while (Seam().FindNextFileA(find.get(), &entry));
  } catch (...) {
    // The entries handled so far stay handled; this folder's walk ends.
  }
}

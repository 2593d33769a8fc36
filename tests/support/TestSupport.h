// Helpers shared by the tests: scratch folders and registry keys that clean up
// after themselves, whole-file reads and writes, and the diagnostic log
// pointed at a scratch file and read back entry by entry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the prefix's temp folder, removed with everything in
// it at the end of the scope (links are removed, never followed).
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Full path, no trailing "\".
  const std::string& path() const { return path_; }
  // path() + "\" + relative
  std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

 private:
  std::string path_;
};

void RemoveTree(const std::string& path);
void MakeDirs(const std::string& path);
void WriteFileText(const std::string& path, const std::string& content);
std::string ReadFileText(const std::string& path);
bool Exists(const std::string& path);

// Points the diagnostic log at a file in a scratch folder for the scope and
// restores the previous path afterwards.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  const std::string& path() const { return path_; }
  // The raw bytes of the log.
  std::string Text() const;
  // The message of each entry, in order (the date line dropped). A message
  // that itself ends in LF keeps it.
  std::vector<std::string> Messages() const;

 private:
  ScratchDir dir_;
  std::string path_;
  std::string saved_;
};

// A key under HKEY_CURRENT_USER\Software\QuellixTests\<unique>, deleted with
// its subtree at the end of the scope.
class ScratchKey {
 public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  // Path below HKEY_CURRENT_USER, no leading "\".
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testing_support

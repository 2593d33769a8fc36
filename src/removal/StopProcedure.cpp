#include "removal/StopProcedure.h"

#include <windows.h>

#include "framework/Handles.h"
#include "removal/DiagnosticLog.h"
#include "removal/Privileges.h"
#include "removal/TreeRemoval.h"

const char kGwxTaskPrefix[] = "microsoft\\windows\\setup\\GWXTriggers";

std::string GwxTaskFolder(const std::string& nativeSystemFolder) {
  return nativeSystemFolder + "Tasks\\Microsoft\\Windows\\Setup\\GWXTriggers";
}

namespace {

// The file runs with the program's folder as its current one, where anyone
// may have put a schtasks.com: cmd would take that before the system's. A
// failed cd sets the error level; "||" would not do, as Wine's cmd runs what
// follows it after a cd that worked too.
const char kToSystemFolder[] = "@cd /d \"%SystemRoot%\\System32\" & if errorlevel 1 exit /b 1\r\n";

}  // namespace

bool SaveCommandFile(const std::string& path, const std::vector<std::string>& lines) {
  if (lines.empty()) {
    ::DeleteFileA(path.c_str());  // a missing file is no error
    return true;
  }
  std::string text = kToSystemFolder;
  for (const std::string& line : lines) text += line + "\r\n";
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

void RemoveDisabledGwx(const std::string& gwxFolder) {
  const std::string disabled = gwxFolder + "-";
  try {
    // A link there leads elsewhere: DeleteTree removes the link alone, and
    // the target's rights stay as they are.
    const bool link = IsLink(disabled);
    if (!link) ResetFileRights(disabled);
    WriteLog("Starting Shred: " + disabled);
    DeleteTree(disabled);
    WriteLog("Remove Dir: " + disabled);
    if (!link) ::RemoveDirectoryA(disabled.c_str());
  } catch (...) {
    // A failed removal must not keep GWX from being renamed.
  }
}

void RenameGwx(const std::string& gwxFolder) {
  // A link is renamed as it is; what it points at keeps its rights.
  if (!IsLink(gwxFolder)) ResetFileRights(gwxFolder);
  if (::MoveFileA(gwxFolder.c_str(), (gwxFolder + "-").c_str())) {
    WriteLog("GWX renamed");
    return;
  }
  WriteLog("Error renaming GWX");
  ::Sleep(300);
  WriteLog(::MoveFileA(gwxFolder.c_str(), (gwxFolder + "--").c_str()) ? "GWX renamed"
                                                                       : "Error renaming GWX");
}

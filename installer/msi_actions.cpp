// The Windows Installer package's own custom actions (installer/quellix.wxs):
// which folder it installs into, and which blocking entries its removal
// takes along. A DLL in the package's Binary table, run by msiexec.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstring>
#include <string>

#include "framework/Handles.h"

namespace {

const char kImageFileExecutionOptions[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";
const char* const kGwxExecutables[] = {"GWX.EXE", "GWXUX.EXE", "GWXConfigManager.exe",
                                       "GWXDetector.exe", "GWXUXWorker.exe"};
const char kExe[] = "quellix.exe";
// What the package installs and the program writes beside itself.
const char* const kOwnFiles[] = {kExe, "stop-gwx-from-startup.bat", "readme.txt",
                                 "log.txt", "log2.txt", "disable-triggers.cmd"};

std::string Property(MSIHANDLE install, const char* name) {
  char none[1] = "";
  DWORD size = 0;
  if (MsiGetPropertyA(install, name, none, &size) != ERROR_MORE_DATA) return {};
  std::string value(size + 1, '\0');  // the size it gives leaves out the closing zero
  size = static_cast<DWORD>(value.size());
  if (MsiGetPropertyA(install, name, &value[0], &size) != ERROR_SUCCESS) return {};
  value.resize(size);
  return value;
}

// A folder without its closing backslashes: INSTALLDIR has one, a folder
// given on the command line or read back from a value may not.
std::string Bare(std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool SameText(const std::string& a, const std::string& b) {
  return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Calls `each` with the name of everything in `folder`; false when the
// folder cannot be listed.
template <typename Each>
bool ForEachEntry(const std::string& folder, Each each) {
  WIN32_FIND_DATAA found;
  UniqueFind find(::FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find) return false;
  do {
    if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
      each(found.cFileName);
  } while (::FindNextFileA(find.get(), &found));
  return true;
}

// A folder that cannot be listed counts as taken.
bool HoldsAnything(const std::string& folder) {
  bool any = false;
  return !ForEachEntry(folder, [&](const char*) { any = true; }) || any;
}

bool HoldsOthersFiles(const std::string& folder) {
  bool others = false;
  ForEachEntry(folder, [&](const char* name) {
    bool own = false;
    for (const char* file : kOwnFiles) own = own || SameText(name, file);
    others = others || !own;
  });
  return others;
}

std::string ShortForm(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
  return length != 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

// Whether a "Debugger" value starts the quellix.exe in `folder`: the program
// writes its path quoted, in full or, where the code page cannot spell it,
// in its short form.
bool StartsCopyIn(const std::string& debugger, const std::string& folder) {
  if (debugger.empty() || debugger[0] != '"') return false;
  const size_t close = debugger.find('"', 1);
  if (close == std::string::npos) return false;
  const std::string path = debugger.substr(1, close - 1);
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos || !SameText(path.substr(slash + 1), kExe)) return false;
  const std::string in = path.substr(0, slash);
  if (SameText(in, folder)) return true;
  const std::string a = ShortForm(in);
  return !a.empty() && SameText(a, ShortForm(folder));
}

std::string Debugger(HKEY entry) {
  char data[1024];
  DWORD type = 0, size = sizeof(data) - 1;
  if (::RegQueryValueExA(entry, "Debugger", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  data[size] = '\0';
  return data;
}

}  // namespace

// Immediate, before CostFinalize. A chosen folder that holds anything but the
// earlier installation is someone else's: the package goes into a Quellix
// folder inside it (and inside that, while that is taken too), so that its
// owner, access list and removal reach nothing of theirs. The earlier
// installation's folder stays where it is; when others have put files there
// too, SharedFolder keeps the package from changing its owner and access list.
extern "C" __declspec(dllexport) UINT __stdcall ChooseFolder(MSIHANDLE install) {
  std::string folder = Bare(Property(install, "INSTALLDIR"));
  if (folder.empty()) return ERROR_SUCCESS;  // the default, in Program Files
  const std::string earlier = Bare(Property(install, "PREVIOUSFOLDER"));
  const auto is_earlier = [&] { return !earlier.empty() && SameText(folder, earlier); };
  while (!is_earlier() && Exists(folder) && HoldsAnything(folder)) folder += "\\Quellix";
  MsiSetPropertyA(install, "INSTALLDIR", (folder + "\\").c_str());
  if (is_earlier() && HoldsOthersFiles(folder)) MsiSetPropertyA(install, "SharedFolder", "1");
  return ERROR_SUCCESS;
}

// Deferred, on removal, after RemoveFiles; CustomActionData is the folder.
// Once this copy's quellix.exe is gone (an upgrade keeps it), no blocking
// entry may go on naming it: whoever could make that folder again would have
// Windows start their program in GWX's place. As the program's own unprotect
// does, the "Debugger" value goes, and the entry when nothing else is left in
// it; entries naming another program and the policy value stay.
extern "C" __declspec(dllexport) UINT __stdcall ForgetEntries(MSIHANDLE install) {
  const std::string folder = Bare(Property(install, "CustomActionData"));
  if (folder.empty() || Exists(folder + "\\" + kExe)) return ERROR_SUCCESS;
  for (const char* name : kGwxExecutables) {
    // The 32-bit view, where the 32-bit program writes them.
    const std::string key = std::string(kImageFileExecutionOptions) + name;
    UniqueHkey entry;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY,
                        entry.put()) != ERROR_SUCCESS ||
        !StartsCopyIn(Debugger(entry.get()), folder))
      continue;
    ::RegDeleteValueA(entry.get(), "Debugger");
    DWORD subkeys = 1, values = 1;
    ::RegQueryInfoKeyA(entry.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    entry.reset();
    if (subkeys == 0 && values == 0)
      ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
  }
  return ERROR_SUCCESS;
}

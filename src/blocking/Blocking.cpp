#include "blocking/Blocking.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "framework/Seam.h"
#include "framework/SysUtils.h"
#include "registry/Registry.h"

const char kImageFileExecutionOptions[] =
    "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kWindowsUpdatePolicyKey[] = "\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate";
const char kGwxPolicyKey[] = "\\SOFTWARE\\Policies\\Microsoft\\Windows\\Gwx";

const char* const kGwxProtectKeys[5] = {"\\GWX.EXE", "\\GWXUX.EXE", "\\GWXConfigManager.exe",
                                        "\\GWXDetector.exe", "\\GWXUXWorker.exe"};
const char* const kGwxUnprotectKeys[5] = {"\\GWX.EXE", "\\GWXUX.exe", "\\GWXConfigManager.exe",
                                          "\\GWXDetector.exe", "\\GWXUXWorker.exe"};
const char* const kEosKeys[2] = {"\\EOSNOTIFY.EXE", "\\SIPNOTIFY.EXE"};

namespace {

const char kDebugger[] = "Debugger";

std::string EntryKey(const char* name) { return std::string(kImageFileExecutionOptions) + name; }

// Runs `steps` on a fresh registry object rooted at HKEY_LOCAL_MACHINE; any
// exception ends them silently.
template <typename Steps>
void OnLocalMachine(Steps steps) {
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  try {
    steps(registry);
  } catch (...) {
  }
}

bool HasDebugger(TRegistry& registry, const char* name) {
  bool found = false;
  if (registry.OpenKey(EntryKey(name), false)) {
    found = registry.ValueExists(kDebugger);
    registry.CloseKey();
  }
  return found;
}

// Takes the "Debugger" value off an entry, and the entry itself only when
// nothing else is left in it: other values and subkeys there are settings of
// other software or of an administrator (exploit protection's
// MitigationOptions, PerfOptions, GlobalFlag).
void RemoveBlockingEntry(TRegistry& registry, const char* name) {
  if (!registry.OpenKey(EntryKey(name), false)) return;
  registry.DeleteValue(kDebugger);
  TRegKeyInfo info;
  const bool empty = registry.GetKeyInfo(info) && info.NumValues == 0 && info.NumSubKeys == 0;
  registry.CloseKey();
  if (empty) registry.DeleteKey(EntryKey(name));
}

// Deletes `value` when present; the key is created when missing, like every
// policy key this program opens.
void DeletePolicyValue(TRegistry& registry, const char* key, const char* value) {
  if (!registry.OpenKey64(key, true)) return;
  if (registry.ValueExists(value)) registry.DeleteValue(value);
  registry.CloseKey();
}

}  // namespace

std::string DebuggerCommand() {
  char path[261] = {};
  // A path cut short to fit comes back with the buffer's size as its length
  // and, since Vista, its last byte zeroed: the text ends at the first zero
  // (or the buffer's end on XP, which leaves none), never inside the value.
  const DWORD length = Seam().GetModuleFileNameA(nullptr, path, 261);
  const size_t used = std::min<size_t>(length, sizeof(path));
  // Where the code page lacks a character of the path, that text has "?" or
  // a look-alike letter in its place, and a look-alike may name another
  // program, which Windows would then start for GWX: the entry names this
  // one by its short form instead. Without one it names no program, which
  // blocks GWX all the same.
  if (!ExecutablePathSpelled()) return "\"" + ExecutablePath() + "\" /deb";
  return "\"" + std::string(path, ::strnlen(path, used)) + "\" /deb";
}

void BlockGwx() {
  OnLocalMachine([](TRegistry& registry) {
    for (const char* name : kGwxProtectKeys) {
      if (!registry.OpenKey(EntryKey(name), true)) continue;
      registry.WriteString(kDebugger, DebuggerCommand());
      registry.CloseKey();
    }
    if (registry.OpenKey64(kWindowsUpdatePolicyKey, true)) {
      registry.WriteInteger("DisableOSUpgrade", 1);
      registry.CloseKey();
    }
  });
}

void UnblockGwx() {
  OnLocalMachine([](TRegistry& registry) {
    for (const char* name : kGwxUnprotectKeys) RemoveBlockingEntry(registry, name);
    DeletePolicyValue(registry, kGwxPolicyKey, "DisableGwx");
    DeletePolicyValue(registry, kWindowsUpdatePolicyKey, "DisableOSUpgrade");
  });
}

bool GwxBlocked() {
  bool blocked = false;
  OnLocalMachine([&](TRegistry& registry) { blocked = HasDebugger(registry, kGwxProtectKeys[0]); });
  return blocked;
}

void BlockEos() {
  OnLocalMachine([](TRegistry& registry) {
    for (const char* name : kEosKeys) {
      if (!registry.OpenKey(EntryKey(name), true)) continue;
      registry.WriteString(kDebugger, "*");
      registry.CloseKey();
    }
  });
}

void UnblockEos() {
  OnLocalMachine([](TRegistry& registry) {
    for (const char* name : kEosKeys) RemoveBlockingEntry(registry, name);
  });
}

bool EosBlocked() {
  bool blocked = false;
  OnLocalMachine([&](TRegistry& registry) {
    blocked = HasDebugger(registry, kEosKeys[0]) && HasDebugger(registry, kEosKeys[1]);
  });
  return blocked;
}

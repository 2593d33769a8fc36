#include "LocalMachine.h"

#include "framework/Handles.h"

namespace blocking_test {

const char kIfeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kWindowsUpdate[] = "SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate";
const char kGwxPolicy[] = "SOFTWARE\\Policies\\Microsoft\\Windows\\Gwx";
const std::vector<std::string> kGwxNames = {"GWX.EXE", "GWXUX.EXE", "GWXConfigManager.exe",
                                            "GWXDetector.exe", "GWXUXWorker.exe"};
const std::vector<std::string> kEosNames = {"EOSNOTIFY.EXE", "SIPNOTIFY.EXE"};

std::string Entry(const std::string& name) { return std::string(kIfeo) + "\\" + name; }

bool KeyExists(const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

void MakeKey(const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  ::RegCloseKey(key);
}

void Put(const std::string& path, const char* name, DWORD type, const Bytes& data, REGSAM view) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  UniqueHkey owner(key);
  ASSERT_EQ(::RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

void PutString(const std::string& path, const char* name, const std::string& text, REGSAM view) {
  Put(path, name, REG_SZ, SzBytes(text), view);
}

Bytes SzBytes(const std::string& text) {
  Bytes b(text.begin(), text.end());
  b.push_back(0);
  return b;
}

RawValue Read(const std::string& path, const char* name, REGSAM view) {
  RawValue v;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return v;
  UniqueHkey owner(key);
  DWORD size = 0;
  if (::RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return v;
  v.data.resize(size);
  if (::RegQueryValueExA(key, name, nullptr, &v.type, v.data.data(), &size) != ERROR_SUCCESS)
    return v;
  v.data.resize(size);
  v.present = true;
  return v;
}

std::map<std::string, RawValue> Snapshot(const std::string& path, REGSAM view) {
  std::map<std::string, RawValue> out;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return out;
  UniqueHkey owner(key);
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof(name);
    BYTE data[2048];
    DWORD dataSize = sizeof(data);
    RawValue v;
    if (::RegEnumValueA(key, i, name, &nameLength, nullptr, &v.type, data, &dataSize) !=
        ERROR_SUCCESS)
      break;
    v.present = true;
    v.data.assign(data, data + dataSize);
    out[name] = v;
  }
  return out;
}

std::string ExpectedDebuggerCommand() {
  char path[MAX_PATH * 2] = {};
  ::GetModuleFileNameA(nullptr, path, sizeof(path));
  return "\"" + std::string(path) + "\" /deb";
}

void LocalMachineKeys::RemoveAll() {
  std::vector<std::string> keys = {kWindowsUpdate, kGwxPolicy};
  for (const std::string& name : kGwxNames) keys.push_back(Entry(name));
  for (const std::string& name : kEosNames) keys.push_back(Entry(name));
  for (const std::string& key : keys) ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
  for (const std::string& key : keys) ASSERT_FALSE(KeyExists(key)) << key << " survived clean-up";
}

}  // namespace blocking_test

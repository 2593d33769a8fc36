#include "registry/Registry.h"

#include <utility>
#include <vector>

#include "assets/resource_ids.h"
#include "framework/Seam.h"

namespace {

// Read-write-create without the rights to delete or change the key's security.
constexpr REGSAM kReadWriteCreate = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// On NT with a double-byte code page, RegQueryInfoKeyA counts characters while
// an ANSI name may need two bytes for each of them.
bool DoubleByteNames() {
  static const bool value = [] {
    if (::GetSystemMetrics(SM_DBCSENABLED) == 0) return false;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }();
  return value;
}

bool IsAbsolute(const std::string& key) { return !key.empty() && key[0] == '\\'; }

// The path without the "\" that makes it absolute.
std::string Remainder(const std::string& key) { return IsAbsolute(key) ? key.substr(1) : key; }

// Three tries, from full access down to read-only.
UniqueHkey OpenBestAccess(HKEY base, const std::string& path, REGSAM view) {
  for (REGSAM access : {REGSAM(KEY_ALL_ACCESS), kReadWriteCreate, REGSAM(KEY_READ)}) {
    HKEY key = nullptr;
    if (Seam().RegOpenKeyExA(base, path.c_str(), 0, access | view, &key) == ERROR_SUCCESS)
      return UniqueHkey(key);
  }
  return UniqueHkey();
}

// A key created for writing is never settled for read-only.
UniqueHkey CreateWritable(HKEY base, const std::string& path, REGSAM view) {
  for (REGSAM access : {REGSAM(KEY_ALL_ACCESS), kReadWriteCreate}) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (Seam().RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               access | view, nullptr, &key, &disposition) == ERROR_SUCCESS)
      return UniqueHkey(key);
  }
  return UniqueHkey();
}

}  // namespace

ERegistryException ERegistryException::FromResource(UINT id, const std::string& name) {
  char buffer[256] = {};
  const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
  std::string message(buffer, length > 0 ? static_cast<size_t>(length) : 0);
  // The name goes in as text, never as a format: it may hold "%" itself.
  const size_t slot = message.find("%s");
  if (slot != std::string::npos) message.replace(slot, 2, name);
  return ERegistryException(message);
}

TRegDataType DataTypeOf(DWORD registryType) {
  switch (registryType) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    case REG_MULTI_SZ: return rdMultiSZ;
    default: return rdUnknown;
  }
}

DWORD RegistryTypeOf(TRegDataType kind) {
  switch (kind) {
    case rdString: return REG_SZ;
    case rdExpandString: return REG_EXPAND_SZ;
    case rdInteger: return REG_DWORD;
    case rdBinary: return REG_BINARY;
    case rdMultiSZ: return REG_MULTI_SZ;
    default: return REG_NONE;
  }
}

TRegistry::TRegistry() : FRootKey(HKEY_CURRENT_USER), FLazyWrite(true) {}

TRegistry::~TRegistry() {
  CloseKey();
  if (FCloseRootKey) ::RegCloseKey(FRootKey);
}

void TRegistry::SetRootKey(HKEY Value) {
  if (Value == FRootKey) return;
  if (FCloseRootKey) {
    ::RegCloseKey(FRootKey);
    FCloseRootKey = false;
  }
  FRootKey = Value;
  CloseKey();
}

HKEY TRegistry::GetBaseKey(bool Relative) const {
  return FCurrentKey && Relative ? FCurrentKey.get() : FRootKey;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  return OpenKeyWithView(Key, CanCreate, 0);
}

bool TRegistry::OpenKey64(const std::string& Key, bool CanCreate) {
  return OpenKeyWithView(Key, CanCreate, KEY_WOW64_64KEY);
}

bool TRegistry::OpenKeyWithView(const std::string& Key, bool CanCreate, REGSAM view) {
  const bool relative = !IsAbsolute(Key);
  const std::string path = Remainder(Key);
  const HKEY base = GetBaseKey(relative);
  // An empty path names the base key itself: opened again, never created.
  UniqueHkey key = !CanCreate || path.empty() ? OpenBestAccess(base, path, view)
                                              : CreateWritable(base, path, view);
  if (!key) return false;
  ChangeKey(std::move(key), FCurrentKey && relative ? FCurrentPath + "\\" + path : path);
  return true;
}

void TRegistry::ChangeKey(UniqueHkey Value, const std::string& Path) {
  CloseKey();
  FCurrentKey = std::move(Value);
  FCurrentPath = Path;
}

UniqueHkey TRegistry::SetCurrentKey(UniqueHkey Value) {
  UniqueHkey previous = std::move(FCurrentKey);
  FCurrentKey = std::move(Value);
  return previous;
}

void TRegistry::CloseKey() {
  if (!FCurrentKey) return;
  FCurrentKey.reset();
  FCurrentPath.clear();
}

UniqueHkey TRegistry::GetKey(const std::string& Key) {
  const bool relative = !IsAbsolute(Key);
  return OpenBestAccess(GetBaseKey(relative), Remainder(Key), 0);
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& Value) {
  Value = TRegKeyInfo{};
  DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueLen = 0, maxDataLen = 0;
  FILETIME written = {};
  if (::RegQueryInfoKeyA(FCurrentKey.get(), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen,
                         nullptr, &values, &maxValueLen, &maxDataLen, nullptr,
                         &written) != ERROR_SUCCESS)
    return false;
  Value.NumSubKeys = static_cast<std::int32_t>(subKeys);
  Value.MaxSubKeyLen = static_cast<std::int32_t>(maxSubKeyLen);
  Value.NumValues = static_cast<std::int32_t>(values);
  Value.MaxValueLen = static_cast<std::int32_t>(maxValueLen);
  Value.MaxDataLen = static_cast<std::int32_t>(maxDataLen);
  Value.FileTime = written;
  if (DoubleByteNames()) {
    Value.MaxSubKeyLen *= 2;
    Value.MaxValueLen *= 2;
  }
  return true;
}

bool TRegistry::GetDataInfo(const std::string& ValueName, TRegDataInfo& Value) {
  Value = TRegDataInfo{};
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExA(FCurrentKey.get(), ValueName.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return false;
  Value.RegData = DataTypeOf(type);
  Value.DataSize = static_cast<std::int32_t>(size);
  return true;
}

bool TRegistry::ValueExists(const std::string& Name) {
  TRegDataInfo info;
  return GetDataInfo(Name, info);
}

void TRegistry::PutData(const std::string& Name, const void* Buffer, DWORD BufSize,
                        TRegDataType RegData) {
  if (Seam().RegSetValueExA(FCurrentKey.get(), Name.c_str(), 0, RegistryTypeOf(RegData),
                            static_cast<const BYTE*>(Buffer), BufSize) != ERROR_SUCCESS)
    throw ERegistryException::FromResource(IDS_REG_SET_FAILED, Name);
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  // The terminating zero is part of the data.
  PutData(Name, Value.c_str(), static_cast<DWORD>(Value.size() + 1), rdString);
}

void TRegistry::WriteInteger(const std::string& Name, std::int32_t Value) {
  const auto bits = static_cast<std::uint32_t>(Value);
  const BYTE data[4] = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                        static_cast<BYTE>(bits >> 16), static_cast<BYTE>(bits >> 24)};
  PutData(Name, data, sizeof(data), rdInteger);
}

bool TRegistry::DeleteValue(const std::string& Name) {
  return ::RegDeleteValueA(FCurrentKey.get(), Name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& Key) {
  const bool relative = !IsAbsolute(Key);
  const std::string path = Remainder(Key);
  // An empty path names the base key itself, which may be a whole root hive:
  // never walked and emptied.
  if (path.empty()) return false;
  const HKEY base = GetBaseKey(relative);

  UniqueHkey target = GetKey(Key);
  if (target) {
    // The key being deleted borrows the current-key slot, so that its subkeys'
    // relative names resolve against it; the caller's key comes back on every
    // path and the borrowed one is closed.
    struct Restore {
      TRegistry& registry;
      UniqueHkey saved;
      ~Restore() { registry.SetCurrentKey(std::move(saved)); }
    } restore{*this, SetCurrentKey(std::move(target))};

    TRegKeyInfo info;
    if (GetKeyInfo(info)) {
      std::vector<char> name(static_cast<size_t>(info.MaxSubKeyLen) + 1);
      // Downwards, so that a deletion does not move the subkeys still to visit.
      for (std::int32_t index = info.NumSubKeys - 1; index >= 0; --index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExA(FCurrentKey.get(), static_cast<DWORD>(index), name.data(), &length,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
          DeleteKey(std::string(name.data(), length));
      }
    }
  }
  return Seam().RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

// The registry key object: one root key and at most one open key (the current
// key). Paths starting with "\" are taken from the root key, all others from
// the current key when one is open. Opens, value tests and deletions report
// failure by returning false; only value writes raise (ERegistryException).
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "framework/Handles.h"

enum TRegDataType : std::uint8_t {
  rdUnknown = 0,
  rdString = 1,
  rdExpandString = 2,
  rdInteger = 3,
  rdBinary = 4,
  rdMultiSZ = 5,
};

struct TRegDataInfo {
  TRegDataType RegData;
  std::int32_t DataSize;
};

struct TRegKeyInfo {
  std::int32_t NumSubKeys;
  std::int32_t MaxSubKeyLen;
  std::int32_t NumValues;
  std::int32_t MaxValueLen;
  std::int32_t MaxDataLen;
  FILETIME FileTime;
};

class ERegistryException : public std::runtime_error {
 public:
  explicit ERegistryException(const std::string& message) : std::runtime_error(message) {}
  // The message of string resource `id` with its "%s" replaced by `name`.
  static ERegistryException FromResource(UINT id, const std::string& name);
};

// The kind a registry type code is read as, and the type code a kind is
// written with.
TRegDataType DataTypeOf(DWORD registryType);
DWORD RegistryTypeOf(TRegDataType kind);

class TRegistry {
 public:
  TRegistry();
  virtual ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY CurrentKey() const { return FCurrentKey.get(); }
  HKEY RootKey() const { return FRootKey; }
  // Below the root key, without a leading "\"; empty when no key is open.
  const std::string& CurrentPath() const { return FCurrentPath; }
  bool LazyWrite() const { return FLazyWrite; }

  // Another root closes the open key; the same root keeps it open.
  void SetRootKey(HKEY Value);

  // Opens (or with CanCreate, creates) a key and makes it current; on failure
  // the key open before stays current. OpenKey64 works in the 64-bit view.
  bool OpenKey(const std::string& Key, bool CanCreate);
  bool OpenKey64(const std::string& Key, bool CanCreate);
  void CloseKey();

  bool ValueExists(const std::string& Name);
  bool GetDataInfo(const std::string& ValueName, TRegDataInfo& Value);
  bool GetKeyInfo(TRegKeyInfo& Value);

  // Raise ERegistryException "Failed to set data for '<Name>'" on failure.
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteInteger(const std::string& Name, std::int32_t Value);

  bool DeleteValue(const std::string& Name);
  // Deletes the key with everything below it (default view only). True when
  // the key itself went. The current key is the same before and after.
  bool DeleteKey(const std::string& Key);

 private:
  // The key a path is resolved against.
  HKEY GetBaseKey(bool Relative) const;
  bool OpenKeyWithView(const std::string& Key, bool CanCreate, REGSAM view);
  void ChangeKey(UniqueHkey Value, const std::string& Path);
  // Puts `Value` into the current-key slot without closing what was there
  // and without touching the current path; hands back the previous key.
  UniqueHkey SetCurrentKey(UniqueHkey Value);
  // The key opened in the default view with the best access granted, or none.
  UniqueHkey GetKey(const std::string& Key);
  void PutData(const std::string& Name, const void* Buffer, DWORD BufSize, TRegDataType RegData);

  UniqueHkey FCurrentKey;
  HKEY FRootKey;
  // Keys are closed without a flush; nothing in the program changes this.
  bool FLazyWrite;
  std::string FCurrentPath;

 protected:
  // Set only for a root handle the object opened itself; such a root is
  // closed when it is replaced or the object goes.
  bool FCloseRootKey = false;
};

// The real blocking entries and policy keys under HKEY_LOCAL_MACHINE of the
// test prefix: raw reads and writes that bypass TRegistry, and a fixture that
// removes every key the blocking operations may touch before and after each
// test, so that no test depends on another's leftovers.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace blocking_test {

using Bytes = std::vector<BYTE>;

extern const char kIfeo[];
extern const char kWindowsUpdate[];
extern const char kGwxPolicy[];
extern const std::vector<std::string> kGwxNames;  // as the protect spelling has them
extern const std::vector<std::string> kEosNames;

// kIfeo + "\" + name
std::string Entry(const std::string& name);

bool KeyExists(const std::string& path, REGSAM view = 0);
void MakeKey(const std::string& path, REGSAM view = 0);
void Put(const std::string& path, const char* name, DWORD type, const Bytes& data,
         REGSAM view = 0);
void PutString(const std::string& path, const char* name, const std::string& text,
               REGSAM view = 0);

struct RawValue {
  bool present = false;
  DWORD type = REG_NONE;
  Bytes data;
  bool operator==(const RawValue& o) const {
    return present == o.present && type == o.type && data == o.data;
  }
};
RawValue Read(const std::string& path, const char* name, REGSAM view = 0);
// The data of a REG_SZ value as written, with its terminating zero.
Bytes SzBytes(const std::string& text);

// Every value of one key, name -> value.
std::map<std::string, RawValue> Snapshot(const std::string& path, REGSAM view = 0);

// "\"<this test program's path>\" /deb"
std::string ExpectedDebuggerCommand();

class LocalMachineKeys : public ::testing::Test {
 protected:
  void SetUp() override { RemoveAll(); }
  void TearDown() override { RemoveAll(); }
  static void RemoveAll();
};

}  // namespace blocking_test

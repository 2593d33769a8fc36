// Blocking and unblocking on the prefix's real HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>

#include <cstring>

#include "LocalMachine.h"
#include "blocking/Blocking.h"
#include "framework/Handles.h"
#include "framework/Seam.h"
#include "framework/SysUtils.h"
#include "support/TestSupport.h"

namespace {

using namespace blocking_test;

// RegSetValueExA that fails from the given call on (1-based) and counts every
// call it sees.
int g_setCalls = 0;
int g_failFromCall = 0;

LONG WINAPI SetFailingFrom(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  ++g_setCalls;
  if (g_setCalls >= g_failFromCall) return ERROR_ACCESS_DENIED;
  return ::RegSetValueExA(key, name, reserved, type, data, size);
}

class FailingWrites {
 public:
  explicit FailingWrites(int fromCall) : guard_(Seam().RegSetValueExA, &SetFailingFrom) {
    g_setCalls = 0;
    g_failFromCall = fromCall;
  }

 private:
  ScopedSeam<decltype(Seam().RegSetValueExA)> guard_;
};

LONG WINAPI DenyCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                       LPDWORD) {
  return ERROR_ACCESS_DENIED;
}

// Every key the registry object opens or creates, with the access it asks.
struct Opened {
  std::string path;
  REGSAM access;
};
std::vector<Opened> g_opened;

LONG WINAPI RecordOpen(HKEY key, LPCSTR path, DWORD options, REGSAM access, PHKEY result) {
  g_opened.push_back({path ? path : "", access});
  return ::RegOpenKeyExA(key, path, options, access, result);
}

LONG WINAPI RecordCreate(HKEY key, LPCSTR path, DWORD reserved, LPSTR cls, DWORD options,
                         REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                         LPDWORD disposition) {
  g_opened.push_back({path ? path : "", access});
  return ::RegCreateKeyExA(key, path, reserved, cls, options, access, security, result, disposition);
}

// A module path longer than the buffer, as Vista and later hand it back: the
// buffer's size as the length, the text cut short and zero-ended.
DWORD WINAPI LongModulePath(HMODULE, LPSTR buffer, DWORD size) {
  std::memset(buffer, 'x', size - 1);
  buffer[size - 1] = '\0';
  ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

// The program as if it lay in a folder with a Greek name, which Wine's code
// page (1252) cannot spell.
std::wstring g_modulePath;
DWORD WINAPI ModuleOutsideTheCodePage(HMODULE, LPWSTR buffer, DWORD size) {
  const DWORD n = static_cast<DWORD>(g_modulePath.size());
  if (n >= size) return 0;
  g_modulePath.copy(buffer, n);
  buffer[n] = L'\0';
  return n;
}

using GwxBlocking = LocalMachineKeys;
using EosBlocking = LocalMachineKeys;

// --- GWX ---------------------------------------------------------------------

TEST_F(GwxBlocking, ProtectWritesTheFiveEntriesAndThePolicyAndAgainChangesNothing) {
  EXPECT_EQ(DebuggerCommand(), ExpectedDebuggerCommand());
  BlockGwx();
  for (const std::string& name : kGwxNames) {
    SCOPED_TRACE(name);
    const auto values = Snapshot(Entry(name));
    ASSERT_EQ(values.size(), 1u) << "only the Debugger value";
    const RawValue debugger = Read(Entry(name), "Debugger");
    EXPECT_EQ(debugger.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(debugger.data, SzBytes(ExpectedDebuggerCommand()));
  }
  const RawValue policy = Read(kWindowsUpdate, "DisableOSUpgrade", KEY_WOW64_64KEY);
  EXPECT_TRUE(policy.present);
  EXPECT_EQ(policy.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(policy.data, (Bytes{1, 0, 0, 0}));
  EXPECT_FALSE(KeyExists(kGwxPolicy, KEY_WOW64_64KEY)) << "protect writes no DisableGwx";
  EXPECT_TRUE(GwxBlocked());
  EXPECT_FALSE(EosBlocked()) << "the two protections are independent";

  std::map<std::string, std::map<std::string, RawValue>> before, after;
  for (const std::string& name : kGwxNames) before[name] = Snapshot(Entry(name));
  before["policy"] = Snapshot(kWindowsUpdate, KEY_WOW64_64KEY);
  BlockGwx();
  for (const std::string& name : kGwxNames) after[name] = Snapshot(Entry(name));
  after["policy"] = Snapshot(kWindowsUpdate, KEY_WOW64_64KEY);
  EXPECT_EQ(before, after);
}

// Under wine64 both views are one; only the access asked for tells them apart.
TEST_F(GwxBlocking, PoliciesOpenInThe64BitViewAndBlockingEntriesInTheDefaultOne) {
  ScopedSeam<decltype(Seam().RegOpenKeyExA)> open(Seam().RegOpenKeyExA, &RecordOpen);
  ScopedSeam<decltype(Seam().RegCreateKeyExA)> create(Seam().RegCreateKeyExA, &RecordCreate);
  g_opened.clear();
  BlockGwx();
  UnblockGwx();
  BlockEos();
  UnblockEos();
  int policies = 0, entries = 0;
  for (const Opened& o : g_opened) {
    SCOPED_TRACE(o.path);
    EXPECT_EQ(o.access & KEY_WOW64_32KEY, 0u);
    if (o.path.rfind("SOFTWARE\\Policies\\", 0) == 0) {
      ++policies;
      EXPECT_NE(o.access & KEY_WOW64_64KEY, 0u);
    } else if (o.path.find("\\Image File Execution Options\\") != std::string::npos) {
      ++entries;
      EXPECT_EQ(o.access & KEY_WOW64_64KEY, 0u);
    } else {
      ADD_FAILURE() << "a key of neither kind";
    }
  }
  EXPECT_EQ(policies, 3) << "protect opens one policy key, unprotect two";
  EXPECT_GE(entries, 5 + 5 + 2 + 2);
}

TEST_F(GwxBlocking, AModulePathCutShortLeavesNoZeroInsideTheDebuggerValue) {
  ScopedSeam<decltype(Seam().GetModuleFileNameA)> path(Seam().GetModuleFileNameA, &LongModulePath);
  const std::string expected = "\"" + std::string(260, 'x') + "\" /deb";
  EXPECT_EQ(DebuggerCommand(), expected);
  BlockGwx();
  EXPECT_EQ(Read(Entry(kGwxNames[0]), "Debugger").data, SzBytes(expected));
}

// The conversion of the program's path where the code page cannot spell it.
TEST_F(GwxBlocking, AProgramWhosePathTheCodePageCannotSpellIsNamedByItsShortForm) {
  testing_support::ScratchDir scratch;
  const std::string base = scratch.path();
  const std::wstring folder = std::wstring(base.begin(), base.end()) + L"\\\u0395\u03c1\u03b3\u03b1 Quellix";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  g_modulePath = folder + L"\\quellix.exe";
  UniqueFile exe(::CreateFileW(g_modulePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  DWORD written = 0;
  ASSERT_TRUE(exe && ::WriteFile(exe.get(), "this one", 8, &written, nullptr));
  exe.reset();
  ScopedSeam<decltype(Seam().GetModuleFileNameW)> path(Seam().GetModuleFileNameW,
                                                      &ModuleOutsideTheCodePage);
  const std::string command = DebuggerCommand();
  ASSERT_EQ(command.substr(command.size() - 6), "\" /deb");
  const std::string named = command.substr(1, command.size() - 7);
  EXPECT_TRUE(testing_support::ReadFileText(named) == "this one") << command << " names another file";
  EXPECT_EQ(ExecutableFolder(), ExtractFilePath(named)) << "the folder of the files beside it, alike";
  ScopedSeam<decltype(Seam().GetACP)> utf8(Seam().GetACP, []() -> UINT { return CP_UTF8; });
  EXPECT_EQ(ExecutableFolder(), base + "\\\xce\x95\xcf\x81\xce\xb3\xce\xb1 Quellix\\") << "UTF-8 spells it exactly";
  EXPECT_EQ(AnsiPath(L"C:\\missing\\\xD800"), "") << "but not a lone surrogate";
  ::DeleteFileW(g_modulePath.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

TEST_F(GwxBlocking, UnprotectTakesOffTheDebuggerValuesAndBothPolicyValues) {
  for (const std::string& name : kGwxNames) {
    PutString(Entry(name), "Debugger", "\"C:\\old place\\quellix.exe\" /deb");
    if (name != kGwxNames[0]) PutString(Entry(name), "GlobalFlag", "other software");
  }
  // A value this program never writes, set by policy or another tool.
  PutString(kGwxPolicy, "DisableGwx", "by policy", KEY_WOW64_64KEY);
  Put(kWindowsUpdate, "DisableOSUpgrade", REG_DWORD, {1, 0, 0, 0}, KEY_WOW64_64KEY);
  Put(kWindowsUpdate, "AUOptions", REG_DWORD, {4, 0, 0, 0}, KEY_WOW64_64KEY);
  for (const std::string& name : kEosNames) PutString(Entry(name), "Debugger", "*");

  UnblockGwx();

  EXPECT_FALSE(KeyExists(Entry(kGwxNames[0]))) << "nothing else was left in it";
  for (size_t i = 1; i < kGwxNames.size(); ++i) {
    const auto left = Snapshot(Entry(kGwxNames[i]));
    EXPECT_TRUE(left.size() == 1 && left.count("GlobalFlag")) << kGwxNames[i];
  }
  EXPECT_TRUE(KeyExists(kGwxPolicy, KEY_WOW64_64KEY));
  EXPECT_TRUE(Snapshot(kGwxPolicy, KEY_WOW64_64KEY).empty());
  const auto update = Snapshot(kWindowsUpdate, KEY_WOW64_64KEY);
  ASSERT_EQ(update.size(), 1u);
  EXPECT_EQ(update.begin()->first, "AUOptions") << "other policy values stay";
  EXPECT_FALSE(GwxBlocked());
  EXPECT_TRUE(EosBlocked()) << "the notifier entries are not GWX's";
}

TEST_F(GwxBlocking, UnprotectingNothingLeavesBothPolicyKeysExistingAndEmpty) {
  UnblockGwx();
  for (const std::string& name : kGwxNames) EXPECT_FALSE(KeyExists(Entry(name))) << name;
  for (const char* key : {kGwxPolicy, kWindowsUpdate}) {
    EXPECT_TRUE(KeyExists(key, KEY_WOW64_64KEY)) << key;
    EXPECT_TRUE(Snapshot(key, KEY_WOW64_64KEY).empty()) << key;
  }
}

TEST_F(GwxBlocking, OnlyADebuggerOnTheGwxExeEntryReadsProtected) {
  struct Case {
    const char* label;
    std::vector<std::string> entries;  // keys that get a value
    const char* valueName;
    DWORD type;
    bool protectedState;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, "Debugger", REG_SZ, false},
      {"GWX.EXE alone", {"GWX.EXE"}, "Debugger", REG_SZ, true},
      {"GWX.EXE, other type", {"GWX.EXE"}, "Debugger", REG_DWORD, true},
      {"GWX.EXE, lower case key", {"gwx.exe"}, "Debugger", REG_SZ, true},
      {"GWX.EXE without Debugger", {"GWX.EXE"}, "GlobalFlag", REG_SZ, false},
      {"GWXUX.EXE alone", {"GWXUX.EXE"}, "Debugger", REG_SZ, false},
      {"GWXConfigManager.exe alone", {"GWXConfigManager.exe"}, "Debugger", REG_SZ, false},
      {"GWXDetector.exe alone", {"GWXDetector.exe"}, "Debugger", REG_SZ, false},
      {"GWXUXWorker.exe alone", {"GWXUXWorker.exe"}, "Debugger", REG_SZ, false},
      {"the other four",
       {"GWXUX.EXE", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"},
       "Debugger",
       REG_SZ,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RemoveAll();
    for (const std::string& name : c.entries)
      Put(Entry(name), c.valueName, c.type, c.type == REG_SZ ? SzBytes("other.exe") : Bytes{7, 0, 0, 0});
    EXPECT_EQ(GwxBlocked(), c.protectedState);
  }
}

TEST_F(GwxBlocking, AFailedWriteEndsProtectingAndLeavesTheRestAsItWas) {
  PutString(Entry("GWXUXWorker.exe"), "Debugger", "another-blocker.exe");
  Put(kWindowsUpdate, "DisableOSUpgrade", REG_DWORD, {0, 0, 0, 0}, KEY_WOW64_64KEY);
  {
    FailingWrites failing(3);  // GWXConfigManager.exe
    BlockGwx();                // must not raise
    EXPECT_EQ(g_setCalls, 3) << "nothing is written after the failure";
  }
  for (const char* name : {"GWX.EXE", "GWXUX.EXE"})
    EXPECT_EQ(Read(Entry(name), "Debugger").data, SzBytes(ExpectedDebuggerCommand())) << name;
  EXPECT_TRUE(KeyExists(Entry("GWXConfigManager.exe"))) << "created before the write failed";
  EXPECT_FALSE(Read(Entry("GWXConfigManager.exe"), "Debugger").present);
  EXPECT_FALSE(KeyExists(Entry("GWXDetector.exe")));
  EXPECT_EQ(Read(Entry("GWXUXWorker.exe"), "Debugger").data, SzBytes("another-blocker.exe"));
  EXPECT_EQ(Read(kWindowsUpdate, "DisableOSUpgrade", KEY_WOW64_64KEY).data, (Bytes{0, 0, 0, 0}));
}

TEST_F(GwxBlocking, WithoutTheRightToCreateKeysNothingIsWrittenOrRemovedFromPolicies) {
  Put(kWindowsUpdate, "DisableOSUpgrade", REG_DWORD, {1, 0, 0, 0}, KEY_WOW64_64KEY);
  PutString(Entry("GWX.EXE"), "Debugger", "x.exe");
  {
    ScopedSeam<decltype(Seam().RegCreateKeyExA)> deny(Seam().RegCreateKeyExA, &DenyCreate);
    BlockGwx();
    for (size_t i = 1; i < kGwxNames.size(); ++i)
      EXPECT_FALSE(KeyExists(Entry(kGwxNames[i]))) << kGwxNames[i];
    EXPECT_EQ(Read(Entry("GWX.EXE"), "Debugger").data, SzBytes("x.exe"));

    UnblockGwx();
  }
  // Deleting needs no creation: the entry goes; the policy keys cannot be
  // opened for it, so the value stays.
  EXPECT_FALSE(KeyExists(Entry("GWX.EXE")));
  EXPECT_TRUE(Read(kWindowsUpdate, "DisableOSUpgrade", KEY_WOW64_64KEY).present);
  EXPECT_FALSE(KeyExists(kGwxPolicy, KEY_WOW64_64KEY));
}

// --- end-of-support notifiers -------------------------------------------------

TEST_F(EosBlocking, BlockWritesAStarOverAnyOtherDebugger) {
  PutString(Entry("EOSNOTIFY.EXE"), "Debugger", "C:\\other\\tool.exe");
  Put(Entry("SIPNOTIFY.EXE"), "Debugger", REG_DWORD, {5, 0, 0, 0});
  BlockEos();
  for (const std::string& name : kEosNames) {
    const RawValue v = Read(Entry(name), "Debugger");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(v.data, (Bytes{'*', 0})) << name;
  }
  EXPECT_TRUE(EosBlocked());
  for (const std::string& name : kGwxNames) EXPECT_FALSE(KeyExists(Entry(name))) << name;
  EXPECT_FALSE(KeyExists(kWindowsUpdate, KEY_WOW64_64KEY)) << "no policy value for the notifiers";
}

TEST_F(EosBlocking, BothEntriesNeedADebuggerToReadProtected) {
  struct Case {
    const char* label;
    const char* eos;  // Debugger data, or nullptr for no entry
    const char* sip;
    bool protectedState;
  };
  const Case cases[] = {
      {"none", nullptr, nullptr, false},
      {"EOSNOTIFY alone", "*", nullptr, false},
      {"SIPNOTIFY alone", nullptr, "*", false},
      {"both star", "*", "*", true},
      {"both another program", "x.exe", "y.exe", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RemoveAll();
    if (c.eos) PutString(Entry("EOSNOTIFY.EXE"), "Debugger", c.eos);
    if (c.sip) PutString(Entry("SIPNOTIFY.EXE"), "Debugger", c.sip);
    EXPECT_EQ(EosBlocked(), c.protectedState);
  }
  // A key without the value does not count either.
  RemoveAll();
  PutString(Entry("EOSNOTIFY.EXE"), "Debugger", "*");
  PutString(Entry("SIPNOTIFY.EXE"), "GlobalFlag", "*");
  EXPECT_FALSE(EosBlocked());
  // Blocking then writes both.
  BlockEos();
  EXPECT_TRUE(EosBlocked());
  EXPECT_EQ(Read(Entry("SIPNOTIFY.EXE"), "Debugger").data, (Bytes{'*', 0}));
}

TEST_F(EosBlocking, UnblockTakesOffBothDebuggerValuesAndNothingElse) {
  for (const std::string& name : kEosNames) {
    PutString(Entry(name), "Debugger", "*");
    if (name == kEosNames[0]) PutString(Entry(name) + "\\Sub\\Deeper", "Other", "another tool's");
  }
  PutString(Entry("GWX.EXE"), "Debugger", "x.exe");
  UnblockEos();
  EXPECT_FALSE(Read(Entry(kEosNames[0]), "Debugger").present);
  EXPECT_TRUE(KeyExists(Entry(kEosNames[0]) + "\\Sub\\Deeper")) << "another tool's subkey stays";
  EXPECT_FALSE(KeyExists(Entry(kEosNames[1]))) << "nothing else was left in it";
  EXPECT_TRUE(GwxBlocked());
  RemoveAll();
  // Unblocking when nothing is blocked creates nothing.
  UnblockEos();
  for (const std::string& name : kEosNames) EXPECT_FALSE(KeyExists(Entry(name))) << name;
}

TEST_F(EosBlocking, AFailedFirstWriteLeavesTheSecondNotifierUnblocked) {
  {
    FailingWrites failing(1);
    BlockEos();
    EXPECT_EQ(g_setCalls, 1);
  }
  EXPECT_FALSE(Read(Entry("EOSNOTIFY.EXE"), "Debugger").present);
  EXPECT_FALSE(KeyExists(Entry("SIPNOTIFY.EXE")));
  EXPECT_FALSE(EosBlocked());
}

}  // namespace

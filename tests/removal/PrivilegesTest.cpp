#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Seam.h"
#include "removal/Privileges.h"
#include "support/TestSupport.h"

namespace {

using testing_support::LogCapture;
using testing_support::ScratchDir;
using testing_support::WriteFileText;

const char* const kThree[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_SECURITY_NAME};

// Attributes of a privilege in this process's token; -1 when the token lacks it.
long PrivilegeAttributes(const char* name) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return -1;
  LUID luid;
  if (!::LookupPrivilegeValueA(nullptr, name, &luid)) return -1;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) return -1;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& l = privileges->Privileges[i].Luid;
    if (l.LowPart == luid.LowPart && l.HighPart == luid.HighPart)
      return static_cast<long>(privileges->Privileges[i].Attributes);
  }
  return -1;
}

bool Enabled(const char* name) {
  const long attributes = PrivilegeAttributes(name);
  return attributes >= 0 && (attributes & SE_PRIVILEGE_ENABLED) != 0;
}

std::string SidText(PSID sid) {
  if (sid == nullptr) return "-";
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result = text;
  ::LocalFree(text);
  return result;
}

// "mask/flags/SID" per entry, e.g. "80000000/0/S-1-1-0".
std::vector<std::string> AclEntries(PACL acl) {
  std::vector<std::string> entries;
  if (acl == nullptr) return entries;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* raw = nullptr;
    if (!::GetAce(acl, i, &raw)) break;
    const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    char mask[16];
    std::snprintf(mask, sizeof(mask), "%lx", static_cast<unsigned long>(ace->Mask));
    std::string type = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "" : "not-allowed ";
    entries.push_back(type + mask + "/" + std::to_string(ace->Header.AceFlags) + "/" +
                      SidText(const_cast<DWORD*>(&ace->SidStart)));
  }
  return entries;
}

// Every SetNamedSecurityInfoA call, with scripted answers: kReal forwards the
// call to Wine, any other value is returned without touching the file.
constexpr DWORD kReal = 0xFFFFFFFF;
struct SecurityCall {
  std::string path;
  SE_OBJECT_TYPE type;
  SECURITY_INFORMATION what;
  std::string owner;
  std::string group;
  std::vector<std::string> dacl;
  bool hasSacl;
};
std::vector<SecurityCall> g_calls;
std::vector<DWORD> g_script;

DWORD WINAPI RecordSecurity(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                            PSID group, PACL dacl, PACL sacl) {
  g_calls.push_back({path, type, what, SidText(owner), SidText(group), AclEntries(dacl),
                     sacl != nullptr});
  const size_t index = g_calls.size() - 1;
  const DWORD answer = index < g_script.size() ? g_script[index] : kReal;
  if (answer == kReal) return ::SetNamedSecurityInfoA(path, type, what, owner, group, dacl, sacl);
  return answer;
}

class SecurityRecorder {
 public:
  explicit SecurityRecorder(std::vector<DWORD> script = {})
      : seam_(Seam().SetNamedSecurityInfoA, &RecordSecurity) {
    g_calls.clear();
    g_script = std::move(script);
  }
  const std::vector<SecurityCall>& calls() const { return g_calls; }

 private:
  ScopedSeam<decltype(&::SetNamedSecurityInfoA)> seam_;
};

// A token that does not hold the privileges: the call "succeeds" with
// ERROR_NOT_ALL_ASSIGNED, as for a user who is not elevated.
BOOL WINAPI NotAllAssigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES previous,
                           PDWORD) {
  if (previous) previous->PrivilegeCount = 0;
  ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}

BOOL WINAPI TokenRefused(HANDLE, DWORD, PHANDLE token) {
  *token = nullptr;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

const std::vector<std::string> kResetEntries = {
    "80000000/0/S-1-1-0",       // Everyone: GENERIC_READ, no inheritance
    "10000000/0/S-1-5-32-544",  // Administrators: GENERIC_ALL
};

TEST(Privileges, SetPrivilegeSwitchesEachPrivilegeOfTheRealToken) {
  UniqueHandle token;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                 token.put()));
  for (const char* name : kThree) {
    SCOPED_TRACE(name);
    ASSERT_GE(PrivilegeAttributes(name), 0) << "the elevated token holds it";
    // Twice each way: the second call finds the state unchanged, which the
    // platform reports without a previous-state entry.
    for (int round = 0; round < 2; ++round) {
      EXPECT_TRUE(SetPrivilege(token.get(), name, true));
      EXPECT_TRUE(Enabled(name));
    }
    for (int round = 0; round < 2; ++round) {
      EXPECT_TRUE(SetPrivilege(token.get(), name, false));
      EXPECT_FALSE(Enabled(name));
    }
  }
}

TEST(Privileges, SetPrivilegeFailsForUnknownNamesWeakTokensAndMissingPrivileges) {
  UniqueHandle token;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                 token.put()));
  EXPECT_FALSE(SetPrivilege(token.get(), "SeNoSuchPrivilege", true));

  UniqueHandle queryOnly;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, queryOnly.put()));
  EXPECT_FALSE(SetPrivilege(queryOnly.get(), SE_RESTORE_NAME, true));
  EXPECT_FALSE(Enabled(SE_RESTORE_NAME));

  ScopedSeam<decltype(&::AdjustTokenPrivileges)> seam(Seam().AdjustTokenPrivileges,
                                                      &NotAllAssigned);
  EXPECT_FALSE(SetPrivilege(token.get(), SE_TAKE_OWNERSHIP_NAME, true));
  EXPECT_FALSE(Enabled(SE_TAKE_OWNERSHIP_NAME));
}

TEST(Privileges, ElevatedResetWritesExactlyTwoEntriesAndLogsOneLine) {
  ScratchDir dir;
  const std::string file = dir / "task";
  WriteFileText(file, "<Task/>");
  const std::string folder = dir / "GWX";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  // The path is used and logged exactly as given, trailing "\" included.
  for (const std::string& path : {file, folder, folder + "\\"}) {
    SCOPED_TRACE(path);
    LogCapture log;
    SecurityRecorder recorder;
    EXPECT_TRUE(ResetFileRights(path));
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"ResetFileRights: " + path + " :1"});
    ASSERT_EQ(recorder.calls().size(), 1u);
    const SecurityCall& call = recorder.calls()[0];
    EXPECT_EQ(call.path, path);
    EXPECT_EQ(call.type, SE_FILE_OBJECT);
    EXPECT_EQ(call.what, static_cast<SECURITY_INFORMATION>(DACL_SECURITY_INFORMATION));
    EXPECT_EQ(call.owner, "-");
    EXPECT_EQ(call.group, "-");
    EXPECT_FALSE(call.hasSacl);
    EXPECT_EQ(call.dacl, kResetEntries);
    for (const char* name : kThree) EXPECT_FALSE(Enabled(name)) << name << " left enabled";
  }
}

TEST(Privileges, MissingPathIsLoggedAsFailedWithoutPrivilegeMessages) {
  ScratchDir dir;
  const std::string path = dir / "no-such-file";
  LogCapture log;
  EXPECT_FALSE(ResetFileRights(path));
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ResetFileRights: " + path + " :0"});
}

TEST(Privileges, WithoutThePrivilegesSixMessagesFrameTheReset) {
  ScratchDir dir;
  const std::string path = dir / "task";
  WriteFileText(path, "<Task/>");
  const std::vector<std::string> expected = {
      "SE_TAKE_OWNERSHIP_NAME=TRUE. You must be logged on as Administrator.",
      "SE_RESTORE_NAME=true. You must be logged on as Administrator.\n",
      "SE_SECURITY_NAME=true. You must be logged on as Administrator.\n",
      "SE_TAKE_OWNERSHIP_NAME=false. You must be logged on as Administrator.",
      "SE_RESTORE_NAME=false. You must be logged on as Administrator.\n",
      "SE_SECURITY_NAME=false. You must be logged on as Administrator.\n",
  };
  struct Case {
    const char* what;
    std::vector<DWORD> script;
    bool result;
  };
  // The list is still written when Wine lets it; refused, ownership cannot
  // be taken without the privilege and nothing more is tried.
  const Case cases[] = {
      {"list written anyway", {}, true},
      {"list refused", {ERROR_ACCESS_DENIED}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    SecurityRecorder recorder(c.script);
    ScopedSeam<decltype(&::AdjustTokenPrivileges)> seam(Seam().AdjustTokenPrivileges,
                                                        &NotAllAssigned);
    EXPECT_EQ(ResetFileRights(path), c.result);
    std::vector<std::string> lines = expected;
    lines.push_back("ResetFileRights: " + path + (c.result ? " :1" : " :0"));
    EXPECT_EQ(log.Messages(), lines);
    EXPECT_EQ(recorder.calls().size(), 1u) << "one list write, no ownership attempt";
  }
}

TEST(Privileges, RefusedListIsWrittenAfterTheAdministratorsTakeOwnership) {
  ScratchDir dir;
  const std::string path = dir / "GWX.exe";
  WriteFileText(path, "MZ");
  const std::string dacl = "DACL", owner = "OWNER";
  struct Case {
    const char* what;
    std::vector<DWORD> script;
    bool result;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"owner taken, list written", {ERROR_ACCESS_DENIED}, true, {dacl, owner, dacl}},
      {"list refused again", {ERROR_ACCESS_DENIED, kReal, ERROR_ACCESS_DENIED}, false,
       {dacl, owner, dacl}},
      {"owner refused", {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}, false, {dacl, owner}},
      // Only access denied leads to the ownership path.
      {"other error", {ERROR_INVALID_PARAMETER}, false, {dacl}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    SecurityRecorder recorder(c.script);
    EXPECT_EQ(ResetFileRights(path), c.result);
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>{"ResetFileRights: " + path + (c.result ? " :1" : " :0")});
    std::vector<std::string> kinds;
    for (const SecurityCall& call : recorder.calls()) {
      EXPECT_EQ(call.path, path);
      if (call.what == OWNER_SECURITY_INFORMATION) {
        kinds.push_back(owner);
        EXPECT_EQ(call.owner, "S-1-5-32-544");
        EXPECT_TRUE(call.dacl.empty());
      } else {
        kinds.push_back(call.what == DACL_SECURITY_INFORMATION ? dacl : "other");
        EXPECT_EQ(call.dacl, kResetEntries);
      }
    }
    EXPECT_EQ(kinds, c.calls);
    for (const char* name : kThree) EXPECT_FALSE(Enabled(name)) << name << " left enabled";
  }
}

TEST(Privileges, ResetFileAclAloneWritesNothingToTheLog) {
  ScratchDir dir;
  const std::string path = dir / "task";
  WriteFileText(path, "<Task/>");
  LogCapture log;
  EXPECT_TRUE(ResetFileAcl(path));
  EXPECT_FALSE(ResetFileAcl(dir / "missing"));
  {
    SecurityRecorder recorder({ERROR_ACCESS_DENIED});
    EXPECT_TRUE(ResetFileAcl(path));
    EXPECT_EQ(recorder.calls().size(), 3u);
  }
  EXPECT_TRUE(log.Messages().empty());
}

TEST(Privileges, TokenThatCannotBeOpenedGivesOneLineAndNoReset) {
  ScratchDir dir;
  const std::string path = dir / "task";
  WriteFileText(path, "<Task/>");
  LogCapture log;
  SecurityRecorder recorder;
  ScopedSeam<decltype(&::OpenProcessToken)> seam(Seam().OpenProcessToken, &TokenRefused);
  EXPECT_FALSE(ResetFileRights(path));
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"OpenProcessToken failed: 5\n"});
  EXPECT_TRUE(recorder.calls().empty());
}

}  // namespace

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
using Lines = std::vector<std::string>;

const char* const kThree[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_SECURITY_NAME};

bool Enabled(const char* name) {
  UniqueHandle token;
  LUID luid;
  DWORD size = 0;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
      !::LookupPrivilegeValueA(nullptr, name, &luid))
    return false;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size))
    return false;
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < held->PrivilegeCount; ++i)
    if (held->Privileges[i].Luid.LowPart == luid.LowPart &&
        held->Privileges[i].Luid.HighPart == luid.HighPart)
      return (held->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
  return false;
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result = text;
  ::LocalFree(text);
  return result;
}

// One SetNamedSecurityInfoA call as text: "dacl <mask>:<SID> ..." or
// "owner <SID>", with anything unexpected spelled out.
std::string Describe(SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner, PSID group,
                     PACL dacl, PACL sacl) {
  std::string text = what == DACL_SECURITY_INFORMATION    ? "dacl"
                     : what == OWNER_SECURITY_INFORMATION ? "owner"
                                                          : "info " + std::to_string(what);
  if (owner) text += " " + SidText(owner);
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ::GetAce(dacl, i, reinterpret_cast<void**>(&ace));
    char mask[16];
    std::snprintf(mask, sizeof(mask), "%lx", static_cast<unsigned long>(ace->Mask));
    text += std::string(" ") + mask + ":" + SidText(&ace->SidStart);
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || ace->Header.AceFlags != 0)
      text += "(type/flags " + std::to_string(ace->Header.AceType) + "/" +
              std::to_string(ace->Header.AceFlags) + ")";
  }
  if (type != SE_FILE_OBJECT || group || sacl) text += " +unexpected";
  return text;
}

// Records every call; scripted answers replace the real call's, kReal forwards it.
constexpr DWORD kReal = 0xFFFFFFFF;
Lines g_calls;
std::vector<DWORD> g_script;
std::string g_expectedPath;

DWORD WINAPI RecordSecurity(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                            PSID owner, PSID group, PACL dacl, PACL sacl) {
  EXPECT_EQ(path, g_expectedPath);
  g_calls.push_back(Describe(type, what, owner, group, dacl, sacl));
  const DWORD answer = g_calls.size() <= g_script.size() ? g_script[g_calls.size() - 1] : kReal;
  if (answer != kReal) return answer;
  return ::SetNamedSecurityInfoA(path, type, what, owner, group, dacl, sacl);
}

struct SecurityRecorder {
  SecurityRecorder(const std::string& path, std::vector<DWORD> script = {}) {
    g_calls.clear();
    g_script = std::move(script);
    g_expectedPath = path;
  }
  ScopedSeam<decltype(&::SetNamedSecurityInfoA)> seam{Seam().SetNamedSecurityInfoA,
                                                      &RecordSecurity};
};

const std::string kDacl = "dacl 80000000:S-1-1-0 10000000:S-1-5-32-544";
const std::string kOwner = "owner S-1-5-32-544";

// A user who is not elevated: the call "succeeds" with ERROR_NOT_ALL_ASSIGNED.
BOOL WINAPI NotAllAssigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES previous,
                           PDWORD) {
  if (previous) previous->PrivilegeCount = 0;
  ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}

BOOL WINAPI TokenRefused(HANDLE, DWORD, PHANDLE) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(Privileges, SetPrivilegeSwitchesTheRealTokenAndReportsWhatItCannot) {
  UniqueHandle token, queryOnly;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                 token.put()));
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, queryOnly.put()));
  for (const char* name : kThree) {
    SCOPED_TRACE(name);
    // Twice each way: the second call finds the state unchanged, which comes
    // back without a previous-state entry.
    for (const bool enable : {true, true, false, false}) {
      EXPECT_TRUE(SetPrivilege(token.get(), name, enable));
      EXPECT_EQ(Enabled(name), enable);
    }
    EXPECT_FALSE(SetPrivilege(queryOnly.get(), name, true));
    EXPECT_FALSE(Enabled(name));
  }
  EXPECT_FALSE(SetPrivilege(token.get(), "SeNoSuchPrivilege", true));
  ScopedSeam<decltype(&::AdjustTokenPrivileges)> seam(Seam().AdjustTokenPrivileges,
                                                      &NotAllAssigned);
  EXPECT_FALSE(SetPrivilege(token.get(), SE_RESTORE_NAME, true));
}

TEST(Privileges, ElevatedResetWritesExactlyTwoEntriesAndLogsTheOutcome) {
  ScratchDir dir;
  WriteFileText(dir / "task", "<Task/>");
  // Paths are used and logged as given, trailing "\" included.
  const struct {
    std::string path;
    bool ok;
  } cases[] = {{dir / "task", true}, {dir.path(), true}, {dir.path() + "\\", true},
               {dir / "missing", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    LogCapture log;
    SecurityRecorder recorder(c.path);
    EXPECT_EQ(ResetFileRights(c.path), c.ok);
    EXPECT_EQ(log.Messages(), Lines{"ResetFileRights: " + c.path + (c.ok ? " :1" : " :0")});
    EXPECT_EQ(g_calls, Lines{kDacl});
    for (const char* name : kThree) EXPECT_FALSE(Enabled(name)) << name << " left enabled";
  }
}

TEST(Privileges, WithoutThePrivilegesSixMessagesFrameTheReset) {
  ScratchDir dir;
  const std::string path = dir / "task";
  WriteFileText(path, "<Task/>");
  const Lines before = {"SE_TAKE_OWNERSHIP_NAME=TRUE. You must be logged on as Administrator.",
                        "SE_RESTORE_NAME=true. You must be logged on as Administrator.\n",
                        "SE_SECURITY_NAME=true. You must be logged on as Administrator.\n"};
  const Lines after = {"SE_TAKE_OWNERSHIP_NAME=false. You must be logged on as Administrator.",
                       "SE_RESTORE_NAME=false. You must be logged on as Administrator.\n",
                       "SE_SECURITY_NAME=false. You must be logged on as Administrator.\n"};
  // Refused, the list cannot be had through ownership either: no privilege.
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "list refused" : "list written");
    LogCapture log;
    SecurityRecorder recorder(path, {refused ? DWORD{ERROR_ACCESS_DENIED} : kReal});
    ScopedSeam<decltype(&::AdjustTokenPrivileges)> seam(Seam().AdjustTokenPrivileges,
                                                        &NotAllAssigned);
    EXPECT_EQ(ResetFileRights(path), !refused);
    Lines expected = before;
    expected.insert(expected.end(), after.begin(), after.end());
    expected.push_back("ResetFileRights: " + path + (refused ? " :0" : " :1"));
    EXPECT_EQ(log.Messages(), expected);
    EXPECT_EQ(g_calls, Lines{kDacl});
  }
}

TEST(Privileges, RefusedListIsWrittenOnceTheAdministratorsOwnTheObject) {
  ScratchDir dir;
  const std::string path = dir / "GWX.exe";
  WriteFileText(path, "MZ");
  const DWORD denied = ERROR_ACCESS_DENIED;
  const struct {
    const char* what;
    std::vector<DWORD> script;
    bool ok;
    Lines calls;
  } cases[] = {
      {"owner taken, list written", {denied}, true, {kDacl, kOwner, kDacl}},
      {"list refused again", {denied, kReal, denied}, false, {kDacl, kOwner, kDacl}},
      {"owner refused", {denied, denied}, false, {kDacl, kOwner}},
      {"other error: no ownership", {ERROR_INVALID_PARAMETER}, false, {kDacl}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    SecurityRecorder recorder(path, c.script);
    EXPECT_EQ(ResetFileRights(path), c.ok);
    EXPECT_EQ(log.Messages(), Lines{"ResetFileRights: " + path + (c.ok ? " :1" : " :0")});
    EXPECT_EQ(g_calls, c.calls);
    for (const char* name : kThree) EXPECT_FALSE(Enabled(name)) << name << " left enabled";
  }
  // Alone, the list's writer logs nothing.
  LogCapture log;
  SecurityRecorder recorder(path, {denied});
  EXPECT_TRUE(ResetFileAcl(path));
  EXPECT_TRUE(log.Messages().empty());
}

TEST(Privileges, TokenThatCannotBeOpenedGivesOneLineAndNoReset) {
  ScratchDir dir;
  const std::string path = dir / "task";
  WriteFileText(path, "<Task/>");
  LogCapture log;
  SecurityRecorder recorder(path);
  ScopedSeam<decltype(&::OpenProcessToken)> seam(Seam().OpenProcessToken, &TokenRefused);
  EXPECT_FALSE(ResetFileRights(path));
  EXPECT_EQ(log.Messages(), Lines{"OpenProcessToken failed: 5\n"});
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace

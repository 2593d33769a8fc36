#include "removal/Privileges.h"

#include <aclapi.h>

#include "framework/Handles.h"
#include "framework/Seam.h"
#include "removal/DiagnosticLog.h"

// The record AdjustTokenPrivileges gets: a count and one entry.
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "privilege record with one entry");

namespace {

constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

// Enabled and disabled in this order around every reset.
struct PrivilegeMessages {
  const char* name;
  const char* enableFailed;
  const char* disableFailed;
};
constexpr PrivilegeMessages kPrivileges[] = {
    {SE_TAKE_OWNERSHIP_NAME, "SE_TAKE_OWNERSHIP_NAME=TRUE. You must be logged on as Administrator.",
     "SE_TAKE_OWNERSHIP_NAME=false. You must be logged on as Administrator."},
    {SE_RESTORE_NAME, "SE_RESTORE_NAME=true. You must be logged on as Administrator.\n",
     "SE_RESTORE_NAME=false. You must be logged on as Administrator.\n"},
    {SE_SECURITY_NAME, "SE_SECURITY_NAME=true. You must be logged on as Administrator.\n",
     "SE_SECURITY_NAME=false. You must be logged on as Administrator.\n"},
};

DWORD WriteDacl(const std::string& path, PACL acl) {
  return Seam().SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
}

}  // namespace

bool SetPrivilege(HANDLE token, const char* name, bool enable) {
  LUID luid;
  if (!::LookupPrivilegeValueA(nullptr, name, &luid)) return false;

  // First pass: attributes 0, which tells us the privilege's previous state.
  TOKEN_PRIVILEGES request = {};
  request.PrivilegeCount = 1;
  request.Privileges[0].Luid = luid;
  request.Privileges[0].Attributes = 0;
  TOKEN_PRIVILEGES previous = {};
  DWORD previousSize = sizeof(previous);
  const BOOL adjusted = Seam().AdjustTokenPrivileges(token, FALSE, &request, sizeof(request),
                                                     &previous, &previousSize);
  // Success may still be ERROR_NOT_ALL_ASSIGNED: the token lacks the privilege.
  if (!adjusted || ::GetLastError() != ERROR_SUCCESS) return false;

  // Second pass: the previous state with only the enabled bit changed. An
  // unchanged privilege comes back without an entry, hence no other bits.
  if (previous.PrivilegeCount == 0) previous.Privileges[0].Attributes = 0;
  previous.PrivilegeCount = 1;
  previous.Privileges[0].Luid = luid;
  if (enable)
    previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
  else
    previous.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
  const BOOL set =
      Seam().AdjustTokenPrivileges(token, FALSE, &previous, previousSize, nullptr, nullptr);
  return set && ::GetLastError() == ERROR_SUCCESS;
}

bool ResetFileRights(const std::string& path) {
  UniqueHandle token;
  if (!Seam().OpenProcessToken(::GetCurrentProcess(), kTokenAccess, token.put())) {
    const DWORD error = ::GetLastError();
    WriteLog("OpenProcessToken failed: " + std::to_string(error) + "\n");
    return false;
  }
  bool ok = false;
  try {
    for (const auto& p : kPrivileges)
      if (!SetPrivilege(token.get(), p.name, true)) WriteLog(p.enableFailed);
    ok = ResetFileAcl(path);
    for (const auto& p : kPrivileges)
      if (!SetPrivilege(token.get(), p.name, false)) WriteLog(p.disableFailed);
  } catch (...) {
    ok = false;
  }
  WriteLog("ResetFileRights: " + path + " :" + (ok ? "1" : "0"));
  return ok;
}

bool ResetFileAcl(const std::string& path) {
  // Released in reverse: identifiers, then the list, then the token.
  UniqueHandle token;
  UniqueLocal acl;
  UniqueSid everyone;
  UniqueSid administrators;
  try {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                    everyone.put()))
      return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    administrators.put()))
      return false;

    // Exactly these two entries: whatever list the object had is dropped.
    EXPLICIT_ACCESS_A entries[2] = {};
    entries[0].grfAccessPermissions = GENERIC_READ;
    entries[0].grfAccessMode = SET_ACCESS;
    entries[0].grfInheritance = NO_INHERITANCE;
    entries[0].Trustee.pMultipleTrustee = nullptr;
    entries[0].Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    entries[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[0].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entries[0].Trustee.ptstrName = static_cast<LPSTR>(everyone.get());
    entries[1] = entries[0];
    entries[1].grfAccessPermissions = GENERIC_ALL;
    entries[1].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    entries[1].Trustee.ptstrName = static_cast<LPSTR>(administrators.get());
    PACL newAcl = nullptr;
    if (::SetEntriesInAclA(2, entries, nullptr, &newAcl) != ERROR_SUCCESS) return false;
    acl.reset(newAcl);

    const DWORD first = WriteDacl(path, newAcl);
    if (first == ERROR_SUCCESS) return true;
    if (first != ERROR_ACCESS_DENIED) return false;

    // The list may not be written: make the Administrators group the owner,
    // then try once more.
    if (!Seam().OpenProcessToken(::GetCurrentProcess(), kTokenAccess, token.put())) return false;
    if (!SetPrivilege(token.get(), SE_TAKE_OWNERSHIP_NAME, true)) return false;
    if (Seam().SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION, administrators.get(), nullptr,
                                     nullptr, nullptr) != ERROR_SUCCESS)
      return false;
    if (!SetPrivilege(token.get(), SE_TAKE_OWNERSHIP_NAME, false)) return false;
    return WriteDacl(path, newAcl) == ERROR_SUCCESS;
  } catch (...) {
    return false;
  }
}

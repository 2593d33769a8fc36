// Privileges of this process and the rights of one file or folder. The GWX
// files and task files belong to the system: before the stop procedure
// touches one, it gives the local Administrators group full control of it.
#pragma once

#include <windows.h>

#include <string>

// Enables or disables one privilege (by its platform name) in a token opened
// with TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY. False when the name is unknown or
// the token does not hold the privilege (ERROR_NOT_ALL_ASSIGNED). Logs nothing.
bool SetPrivilege(HANDLE token, const char* name, bool enable);

// Enables the take-ownership, restore and security privileges, replaces the
// access list of path by ResetFileAcl's, disables the privileges again and
// logs the outcome ("ResetFileRights: <path> :1" or ":0"). True when the
// access list was written.
bool ResetFileRights(const std::string& path);

// Replaces the access list of path by exactly two entries: Everyone read,
// Administrators full control. When the list may not be written, ownership
// goes to the Administrators group first and the write is tried once more.
// True when the list was written. Logs nothing.
bool ResetFileAcl(const std::string& path);

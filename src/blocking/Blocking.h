// Execution blocking through Image File Execution Options: a "Debugger" value
// on a subkey named like an executable makes Windows start that command in
// its place. The GWX executables are diverted to this program (with "/deb"),
// the end-of-support notifiers to "*", which names no program.
//
// Each operation owns one TRegistry on HKEY_LOCAL_MACHINE for its duration
// and drops every exception raised inside it: a failed write ends the
// remaining steps, the steps already done stay done. None of them raises,
// shows anything or logs anything.
#pragma once

#include <string>

extern const char kImageFileExecutionOptions[];
extern const char kWindowsUpdatePolicyKey[];
extern const char kGwxPolicyKey[];

// Key names appended to kImageFileExecutionOptions, in the order every
// operation visits them. Protect and unprotect spell GWXUX differently; the
// registry does not mind letter case.
extern const char* const kGwxProtectKeys[5];
extern const char* const kGwxUnprotectKeys[5];
extern const char* const kEosKeys[2];

// A double quote, this program's full path (its short form where the code
// page cannot spell it), a double quote and " /deb".
std::string DebuggerCommand();

// GWX: blocking entries in the default registry view, policy values in the
// 64-bit view. Unblocking, here and for the notifiers, takes off the
// "Debugger" values, and an entry's key only where nothing else is left in it.
void BlockGwx();
void UnblockGwx();
// Only the GWX.EXE entry decides; a "Debugger" value of any type counts.
bool GwxBlocked();

// End-of-support notifiers: default view only.
void BlockEos();
void UnblockEos();
// Both entries must hold a "Debugger" value.
bool EosBlocked();

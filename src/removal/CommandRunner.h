// Starting the stop procedure's scripts and waiting for them while the
// window stays responsive.
#pragma once

#include <string>

// Set by "Stop Waiting..." to end the current wait of RunAndWait early.
// RunAndWait clears it before each start, so it never ends a later wait.
extern bool g_StopWaiting;

// Opens file the way the shell does (a batch or command file runs in
// cmd.exe, which applies redirections in parameters), in directory, with the
// show command given. Removes the file's Zone.Identifier stream first.
// Waits until the process ends, g_StopWaiting is set, the application has
// taken its quit message, or a WM_QUIT arrives (posted again for the
// caller's loop), handling one message per 100 ms slice.
// The started process is never ended. True when the shell started the file;
// false when it failed or the file does not exist (nothing is then started).
bool RunAndWait(const std::string& file, const std::string& parameters,
                const std::string& directory, int showCommand);

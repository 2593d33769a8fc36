// Small path and file helpers in the framework's manner.
#pragma once

#include <string>

// The folder part of a path, up to and including its last "\" or ":".
std::string ExtractFilePath(const std::string& path);
// `path` (zero-ended) as the program's 8-bit text names it, in the system
// code page: the path itself where every character has its exact form there
// and `room` more characters still fit MAX_PATH, else its short (8.3) form on
// the same terms. Empty when neither exists: a look-alike may name another
// file. Where the code page is UTF-8, every path but one with a lone
// surrogate has its exact form.
std::string AnsiPath(const wchar_t* path, size_t room = 0);
// The folder of this program's executable, with its trailing "\", as
// AnsiPath gives it with room for the names of the files beside the program;
// empty when the program cannot name it.
std::string ExecutableFolder();
// The program's own full path has its exact form in the code page.
bool ExecutablePathSpelled();
// That path as AnsiPath gives it: exact, else its short form, else empty.
std::string ExecutablePath();
// The executable folder's name as the code page can show it ("?" for what it lacks):
// for telling the user, never for opening.
std::string ExecutableFolderShown();
// GetFileAttributesA finds something there (a file or a folder).
bool PathExists(const std::string& path);
// A plain file (not a folder) is there.
bool FileExists(const std::string& path);

// Small path and file helpers in the framework's manner.
#pragma once

#include <string>

// The folder part of a path, up to and including its last "\" or ":".
std::string ExtractFilePath(const std::string& path);
// The folder of this program's executable, with its trailing "\".
std::string ExecutableFolder();
// GetFileAttributesA finds something there (a file or a folder).
bool PathExists(const std::string& path);
// A plain file (not a folder) is there.
bool FileExists(const std::string& path);

// Emptying a folder tree whose files resist deletion: every object's rights
// are reset and its attributes cleared before it is deleted, and every step is
// written to the diagnostic log. No content is overwritten before deletion.
#pragma once

#include <string>

// Removes everything inside path (with or without a trailing "\"), depth
// first; the folder itself stays. An empty path does nothing. A file that
// cannot be deleted is logged and the walk goes on. Links to folders (reparse
// points) are never followed: only the link itself is removed.
void DeleteTree(const std::string& path);

// Clears the attributes of path (through its "\\?\" form) and deletes it as
// a file. True when DeleteFileA succeeded; its last error is kept otherwise.
bool ForceDeleteFile(const std::string& path);

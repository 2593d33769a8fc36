// Emptying a folder tree whose files resist deletion: every object's rights
// are reset and its attributes cleared before it is deleted, and every step is
// written to the diagnostic log. No content is overwritten before deletion.
#pragma once

#include <windows.h>

#include <string>

// Removes everything inside path (with or without a trailing "\"), depth
// first; the folder itself stays. An empty path does nothing. A file that
// cannot be deleted is logged and the walk goes on. Links are never followed:
// only the link itself is removed. When path itself is a link, the link goes
// and its target is left alone.
void DeleteTree(const std::string& path);

// Whether a found entry leads out of the tree: a symbolic link or a junction.
// Other reparse points (deduplicated, compressed-in-place, cloud or offline
// files) are ordinary entries. A reparse point without a tag is taken for a
// link: Windows always reports one, and Wine shows a host symlink that way.
bool IsLinkEntry(const WIN32_FIND_DATAA& entry);
// Whether path (with or without a trailing "\") is itself such a link.
bool IsLink(const std::string& path);

// Clears the attributes of path (through its "\\?\" form) and deletes it as
// a file. True when DeleteFileA succeeded; its last error is kept otherwise.
bool ForceDeleteFile(const std::string& path);

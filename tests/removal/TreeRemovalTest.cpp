#include <gtest/gtest.h>

#include <aclapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Seam.h"
#include "removal/RemovalTestSupport.h"
#include "removal/TreeRemoval.h"
#include "support/TestSupport.h"

namespace {

using removal_testing::MakeFolderLink;
using removal_testing::MessageProbe;
using removal_testing::RemoveLink;
using testing_support::Exists;
using testing_support::LogCapture;
using testing_support::MakeDirs;
using testing_support::ReadFileText;
using testing_support::ScratchDir;
using testing_support::WriteFileText;
using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// The lines for a file the walk deletes, and for a subfolder its parent
// removes after the subfolder's own walk.
Lines Deleted(const std::string& p) {
  return {"ResetFileRights :" + p, "ResetFileRights: " + p + " :1", "Deleted: " + p};
}
Lines RemovedDir(const std::string& p) {
  return {"ResetFileRights :" + p, "ResetFileRights: " + p + " :1", "Removed Dir :" + p};
}
// Two entries of one folder come in the file system's order.
::testing::AssertionResult Either(const Lines& got, const Lines& head, const Lines& x,
                                  const Lines& y, const Lines& tail = {}) {
  if (got == head + x + y + tail || got == head + y + x + tail)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << ::testing::PrintToString(got);
}

bool IsEmptyFolder(const std::string& path) {
  WIN32_FIND_DATAA entry;
  UniqueFind find(::FindFirstFileA((path + "\\*").c_str(), &entry));
  if (!find) return false;
  do {
    if (std::string(entry.cFileName) != "." && std::string(entry.cFileName) != "..") return false;
  } while (::FindNextFileA(find.get(), &entry));
  return true;
}

bool MakeWideFile(const std::wstring& path) {
  return static_cast<bool>(
      UniqueFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
}
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(TreeRemoval, EmptyPathDoesNothingAndMissingFolderOnlyResets) {
  ScratchDir dir;
  LogCapture log;
  MessageProbe probe;
  ASSERT_TRUE(probe.Post());
  DeleteTree("");
  EXPECT_TRUE(log.Messages().empty()) << "not even a rights reset";
  DeleteTree(dir / "GWX-");
  EXPECT_EQ(log.Messages(), Lines{"ResetFileRights: " + dir / "GWX-" + " :0"});
  EXPECT_EQ(probe.Handled(), 0) << "no entry was walked";
}

TEST(TreeRemoval, ThreeLevelsAreEmptiedDepthFirstAndTheTopStays) {
  for (const bool trailing : {false, true}) {
    SCOPED_TRACE(trailing ? "with \\" : "without \\");
    ScratchDir dir;
    const std::string top = dir / "GWX-", a = top + "\\a", b = a + "\\b", c = b + "\\c";
    MakeDirs(c);
    WriteFileText(c + "\\GWX.exe", "MZ");
    WriteFileText(top + "\\z.txt", "z");
    LogCapture log;
    MessageProbe probe;
    ASSERT_TRUE(probe.Post());
    const std::string given = trailing ? top + "\\" : top;
    DeleteTree(given);
    // Each subfolder's rights are reset twice: by its own walk (on the path
    // with "\"), then by its parent before removal. The subtree is one block.
    const Lines chain = Lines{"ResetFileRights: " + a + "\\ :1", "ResetFileRights: " + b + "\\ :1",
                              "ResetFileRights: " + c + "\\ :1"} +
                        Deleted(c + "\\GWX.exe") + RemovedDir(c) + RemovedDir(b) + RemovedDir(a);
    EXPECT_TRUE(Either(log.Messages(), {"ResetFileRights: " + given + " :1"}, chain,
                       Deleted(top + "\\z.txt")));
    EXPECT_TRUE(IsEmptyFolder(top));
    EXPECT_EQ(probe.Handled(), 1) << "pending messages are handled during the walk";
  }
}

TEST(TreeRemoval, ReadOnlyHiddenAndSystemEntriesAreDeleted) {
  ScratchDir dir;
  const std::string top = dir / "GWX-", locked = top + "\\Locked";
  MakeDirs(locked);
  constexpr DWORD kAll = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  std::vector<Lines> entries;
  for (DWORD kind : {DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                     DWORD{FILE_ATTRIBUTE_SYSTEM}, kAll}) {
    const std::string p = top + "\\f" + std::to_string(kind) + ".exe";
    WriteFileText(p, "MZ");
    ASSERT_TRUE(::SetFileAttributesA(p.c_str(), kind));
    entries.push_back(Deleted(p));
  }
  ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), kAll));
  entries.push_back(Lines{"ResetFileRights: " + locked + "\\ :1"} + RemovedDir(locked));
  LogCapture log;
  DeleteTree(top);
  EXPECT_TRUE(IsEmptyFolder(top));
  const Lines messages = log.Messages();
  size_t total = 1;  // the top folder's reset
  for (const Lines& entry : entries) {
    total += entry.size();
    EXPECT_NE(std::search(messages.begin(), messages.end(), entry.begin(), entry.end()),
              messages.end())
        << entry.back() << " in " << ::testing::PrintToString(messages);
  }
  EXPECT_EQ(messages.size(), total);
}

TEST(TreeRemoval, NameOutsideTheCodePageGoesThroughItsShortName) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  // Cyrillic has no place in code page 1252: the name comes back with "?".
  const std::wstring wide = Wide(top) + L"\\\x0416\x0451\x043b\x0442\x044b\x0439.exe";
  ASSERT_TRUE(MakeWideFile(wide));
  WIN32_FIND_DATAA found;
  ASSERT_TRUE(UniqueFind(::FindFirstFileA((top + "\\*.exe").c_str(), &found)));
  ASSERT_NE(std::string(found.cFileName).find('?'), std::string::npos);
  ASSERT_NE(found.cAlternateFileName[0], '\0');
  LogCapture log;
  DeleteTree(top);
  EXPECT_EQ(log.Messages(), Lines{"ResetFileRights: " + top + " :1"} +
                                Deleted(top + "\\" + found.cAlternateFileName));
  EXPECT_EQ(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
}

// As on a volume with 8.3 names switched off.
HANDLE WINAPI FirstWithoutShortName(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  HANDLE h = ::FindFirstFileA(pattern, data);
  if (h != INVALID_HANDLE_VALUE) data->cAlternateFileName[0] = '\0';
  return h;
}
BOOL WINAPI NextWithoutShortName(HANDLE h, LPWIN32_FIND_DATAA data) {
  const BOOL ok = ::FindNextFileA(h, data);
  if (ok) data->cAlternateFileName[0] = '\0';
  return ok;
}

TEST(TreeRemoval, WithoutAShortNameTheQuestionMarkNameFailsAndTheWalkGoesOn) {
  ScratchDir dir;
  const std::string top = dir / "GWX-", shown = top + "\\?.exe";
  MakeDirs(top);
  const std::wstring wide = Wide(top) + L"\\\x0416.exe";
  ASSERT_TRUE(MakeWideFile(wide));
  WriteFileText(top + "\\plain.exe", "MZ");
  // The code the platform gives for that name is the one to be logged.
  ASSERT_FALSE(::DeleteFileA(shown.c_str()));
  const DWORD code = ::GetLastError();
  LogCapture log;
  {
    ScopedSeam<decltype(&::FindFirstFileA)> first(Seam().FindFirstFileA, &FirstWithoutShortName);
    ScopedSeam<decltype(&::FindNextFileA)> next(Seam().FindNextFileA, &NextWithoutShortName);
    DeleteTree(top);
  }
  EXPECT_TRUE(Either(log.Messages(), {"ResetFileRights: " + top + " :1"},
                     {"ResetFileRights :" + shown, "ResetFileRights: " + shown + " :0",
                      "Cannot delete: " + shown, "Error: " + std::to_string(code)},
                     Deleted(top + "\\plain.exe")));
  EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(Exists(top + "\\plain.exe"));
}

TEST(TreeRemoval, FileHeldOpenBlocksEveryFolderAboveIt) {
  ScratchDir dir;
  const std::string top = dir / "GWX-", x = top + "\\x", y = x + "\\y", held = y + "\\GWXUX.exe";
  MakeDirs(y);
  WriteFileText(held, "MZ");
  WriteFileText(x + "\\free.exe", "MZ");
  UniqueFile holder(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  LogCapture log;
  DeleteTree(top);
  const Lines yBlock = {"ResetFileRights: " + y + "\\ :1", "ResetFileRights :" + held,
                        "ResetFileRights: " + held + " :1", "Cannot delete: " + held,
                        "Error: " + std::to_string(ERROR_SHARING_VIOLATION),
                        "ResetFileRights :" + y, "ResetFileRights: " + y + " :1",
                        "Error Remove Dir :" + y};
  EXPECT_TRUE(Either(log.Messages(),
                     {"ResetFileRights: " + top + " :1", "ResetFileRights: " + x + "\\ :1"},
                     yBlock, Deleted(x + "\\free.exe"),
                     {"ResetFileRights :" + x, "ResetFileRights: " + x + " :1",
                      "Error Remove Dir :" + x}));
  EXPECT_TRUE(Exists(held));
}

// One file's deletion refused with a chosen code.
std::string g_refused;
BOOL WINAPI RefuseOne(LPCSTR path) {
  if (g_refused != path) return ::DeleteFileA(path);
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(TreeRemoval, RefusedDeletionIsLoggedWithItsCodeAfterTheAttributesWereCleared) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  g_refused = top + "\\GWX.exe";
  WriteFileText(g_refused, "MZ");
  WriteFileText(top + "\\GWXUX.exe", "MZ");
  constexpr DWORD kAll = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(::SetFileAttributesA(g_refused.c_str(), kAll));
  LogCapture log;
  {
    ScopedSeam<decltype(&::DeleteFileA)> seam(Seam().DeleteFileA, &RefuseOne);
    DeleteTree(top);
  }
  EXPECT_TRUE(Either(log.Messages(), {"ResetFileRights: " + top + " :1"},
                     {"ResetFileRights :" + g_refused, "ResetFileRights: " + g_refused + " :1",
                      "Cannot delete: " + g_refused, "Error: 5"},
                     Deleted(top + "\\GWXUX.exe")));
  EXPECT_EQ(::GetFileAttributesA(g_refused.c_str()) & kAll, 0u);
}

TEST(TreeRemoval, FolderLinkIsNeitherFollowedNorReset) {
  ScratchDir outside, dir;
  MakeDirs(outside / "Documents");
  WriteFileText(outside / "Documents\\letter.txt", "keep me");
  WriteFileText(outside / "notes.txt", "keep me too");
  const std::string top = dir / "GWX-", link = top + "\\link";
  MakeDirs(top);
  ASSERT_TRUE(MakeFolderLink(link, outside.path()));
  WriteFileText(top + "\\GWX.exe", "MZ");
  LogCapture log;
  removal_testing::g_secured.clear();
  {
    ScopedSeam<decltype(&::SetNamedSecurityInfoA)> seam(Seam().SetNamedSecurityInfoA,
                                                        &removal_testing::RecordSecured);
    DeleteTree(top);
  }
  EXPECT_EQ(ReadFileText(outside / "notes.txt"), "keep me too");
  EXPECT_EQ(ReadFileText(outside / "Documents\\letter.txt"), "keep me");
  std::sort(removal_testing::g_secured.begin(), removal_testing::g_secured.end());
  EXPECT_EQ(removal_testing::g_secured, (Lines{top, top + "\\GWX.exe"})) << "rights reset through the link";
  // Only the link itself is acted on, logged as a folder. Windows removes
  // the link; Wine's RemoveDirectoryA turns to the (non-empty) target and fails.
  Lines linkLines;
  for (const std::string& m : log.Messages())
    if (m.find(link) != std::string::npos) linkLines.push_back(m);
  ASSERT_EQ(linkLines.size(), 1u) << ::testing::PrintToString(log.Messages());
  EXPECT_TRUE(linkLines[0] == "Removed Dir :" + link || linkLines[0] == "Error Remove Dir :" + link)
      << linkLines[0];
  EXPECT_FALSE(Exists(top + "\\GWX.exe"));
  if (Exists(link)) {
    EXPECT_TRUE(RemoveLink(link));
  }
}

// Deduplicated, cloud, offline and compressed-in-place files and folders are
// reparse points too, yet part of the tree: reset, emptied and deleted. Only
// symbolic links and junctions lead out of it.
TEST(TreeRemoval, OnlySymbolicLinksAndJunctionsLeadOutOfTheTree) {
  const struct {
    DWORD tag;
    bool link;
  } cases[] = {{IO_REPARSE_TAG_SYMLINK, true},
               {IO_REPARSE_TAG_MOUNT_POINT, true},
               {IO_REPARSE_TAG_DEDUP, false},
               {0x9000001A /* cloud */, false}};
  for (const auto& c : cases) {
    for (const bool folder : {false, true}) {
      SCOPED_TRACE(::testing::Message() << std::hex << c.tag << (folder ? " folder" : " file"));
      ScratchDir dir;
      const std::string top = dir / "GWX-", entry = top + "\\Entry", inside = entry + "\\a.dll";
      MakeDirs(top);
      if (folder) {
        MakeDirs(entry);
        WriteFileText(inside, "MZ");
      } else {
        WriteFileText(entry, "MZ");
      }
      LogCapture log;
      {
        removal_testing::ScopedFileLinkSeams marks("Entry", c.tag);
        DeleteTree(top);
      }
      const Lines& secured = removal_testing::g_secured;
      EXPECT_EQ(std::count(secured.begin(), secured.end(), entry) > 0, !c.link)
          << ::testing::PrintToString(secured);
      if (!c.link) {
        EXPECT_FALSE(Exists(entry));
      } else if (folder) {
        EXPECT_TRUE(Exists(inside)) << "walked through a link";
      }
    }
  }
}

TEST(TreeRemoval, ALinkAtTheTopGoesAsALinkAndItsTargetStaysWhole) {
  ScratchDir outside, dir;
  WriteFileText(outside / "letter.txt", "keep me");
  MakeDirs(outside / "Sub");
  WriteFileText(outside / "Sub\\b.dat", "keep me too");
  const std::string link = dir / "GWX-";
  ASSERT_TRUE(MakeFolderLink(link, outside.path()));
  {
    removal_testing::ScopedFileLinkSeams records("nothing marked");
    DeleteTree(link + "\\");
  }
  EXPECT_EQ(removal_testing::g_secured, Lines{});
  EXPECT_EQ(ReadFileText(outside / "letter.txt"), "keep me");
  EXPECT_EQ(ReadFileText(outside / "Sub\\b.dat"), "keep me too");
  if (Exists(link)) {
    EXPECT_TRUE(RemoveLink(link));
  }
}

TEST(TreeRemoval, ForceDeleteFileClearsAttributesWhateverThePathForm) {
  ScratchDir dir;
  char saved[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().c_str()));
  // The "\\?\" form cannot carry the last two: they need the plain path.
  const std::pair<std::string, std::string> cases[] = {{"a.exe", dir / "a.exe"},
                                                       {"b.exe", dir.path() + "/b.exe"},
                                                       {"c.exe", "c.exe"}};
  for (const auto& [name, given] : cases) {
    SCOPED_TRACE(given);
    WriteFileText(dir / name, "MZ");
    ASSERT_TRUE(::SetFileAttributesA((dir / name).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(ForceDeleteFile(given));
    EXPECT_FALSE(Exists(dir / name));
  }
  ::SetCurrentDirectoryA(saved);
  EXPECT_FALSE(ForceDeleteFile(dir / "missing.exe"));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // A folder loses its attributes but is not deleted.
  MakeDirs(dir / "Folder");
  ASSERT_TRUE(::SetFileAttributesA((dir / "Folder").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(ForceDeleteFile(dir / "Folder"));
  EXPECT_EQ(::GetFileAttributesA((dir / "Folder").c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
}

TEST(TreeRemoval, FileLinkGoesWithoutTouchingItsTargetsRights) {
  ScratchDir dir;
  const std::string top = dir / "GWX-", link = top + "\\link.dat";
  MakeDirs(top);
  WriteFileText(link, "stands for a link");
  LogCapture log;
  {
    removal_testing::ScopedFileLinkSeams links("link.dat");
    DeleteTree(top);
  }
  EXPECT_EQ(removal_testing::g_secured, Lines{top}) << "rights reset through the link";
  EXPECT_EQ(log.Messages(), (Lines{"ResetFileRights: " + top + " :1", "Deleted: " + link}));
  EXPECT_FALSE(Exists(link));
}

}  // namespace

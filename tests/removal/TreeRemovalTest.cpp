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

// What the walk writes for a file it deletes.
Lines Deleted(const std::string& p) {
  return {"ResetFileRights :" + p, "ResetFileRights: " + p + " :1", "Deleted: " + p};
}
// What the parent writes for a subfolder it removes, after the subfolder's own walk.
Lines RemovedDir(const std::string& p) {
  return {"ResetFileRights :" + p, "ResetFileRights: " + p + " :1", "Removed Dir :" + p};
}
Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool IsEmptyFolder(const std::string& path) {
  WIN32_FIND_DATAA entry;
  UniqueFind find(::FindFirstFileA((path + "\\*").c_str(), &entry));
  if (!find) return false;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") return false;
  } while (::FindNextFileA(find.get(), &entry));
  return true;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(TreeRemoval, EmptyPathDoesNothingAndMissingFolderOnlyResets) {
  ScratchDir dir;
  LogCapture log;
  MessageProbe probe;
  ASSERT_TRUE(probe.Post());
  DeleteTree("");
  EXPECT_TRUE(log.Messages().empty()) << "not even a rights reset";

  const std::string missing = dir / "GWX-";
  DeleteTree(missing);
  EXPECT_EQ(log.Messages(), Lines{"ResetFileRights: " + missing + " :0"});
  EXPECT_EQ(probe.Handled(), 0) << "no entry was walked";
}

TEST(TreeRemoval, ThreeLevelsAreEmptiedDepthFirstAndTheTopStays) {
  // With and without the trailing "\": the first reset logs the path as given.
  for (const bool trailing : {false, true}) {
    SCOPED_TRACE(trailing ? "with \\" : "without \\");
    ScratchDir dir;
    const std::string top = dir / "GWX-";
    MakeDirs(top + "\\a\\b\\c");
    WriteFileText(top + "\\a\\b\\c\\GWX.exe", "MZ");
    WriteFileText(top + "\\z.txt", "z");
    LogCapture log;
    DeleteTree(trailing ? top + "\\" : top);

    const std::string a = top + "\\a", b = a + "\\b", c = b + "\\c";
    // Each subfolder's rights are reset twice: by its own walk (path with
    // "\"), then by its parent before removal.
    const Lines chain = Lines{"ResetFileRights: " + a + "\\ :1", "ResetFileRights: " + b + "\\ :1",
                              "ResetFileRights: " + c + "\\ :1"} +
                        Deleted(c + "\\GWX.exe") + RemovedDir(c) + RemovedDir(b) + RemovedDir(a);
    const Lines first = {"ResetFileRights: " + (trailing ? top + "\\" : top) + " :1"};
    const Lines zFile = Deleted(top + "\\z.txt");
    // The subtree is one block: the walk goes on to z.txt only before or after it.
    const Lines messages = log.Messages();
    EXPECT_TRUE(messages == first + chain + zFile || messages == first + zFile + chain)
        << ::testing::PrintToString(messages);
    EXPECT_TRUE(IsEmptyFolder(top));
  }
}

TEST(TreeRemoval, ReadOnlyHiddenAndSystemEntriesAreDeleted) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top + "\\Locked");
  const DWORD kinds[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
  std::vector<Lines> entries;
  for (DWORD kind : kinds) {
    const std::string p = top + "\\f" + std::to_string(kind) + ".exe";
    WriteFileText(p, "MZ");
    ASSERT_TRUE(::SetFileAttributesA(p.c_str(), kind));
    entries.push_back(Deleted(p));
  }
  const std::string locked = top + "\\Locked";
  ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY |
                                                       FILE_ATTRIBUTE_HIDDEN |
                                                       FILE_ATTRIBUTE_SYSTEM));
  entries.push_back(Lines{"ResetFileRights: " + locked + "\\ :1"} + RemovedDir(locked));

  LogCapture log;
  DeleteTree(top);
  EXPECT_TRUE(IsEmptyFolder(top));
  // Entries come in the file system's order: each one's lines form a block.
  const Lines messages = log.Messages();
  size_t total = 1;
  for (const Lines& entry : entries) {
    total += entry.size();
    EXPECT_NE(std::search(messages.begin(), messages.end(), entry.begin(), entry.end()),
              messages.end())
        << entry.back() << " in " << ::testing::PrintToString(messages);
  }
  EXPECT_EQ(messages.size(), total);
}

TEST(TreeRemoval, NamesOutsideTheCodePageGoThroughTheirShortNames) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  // Cyrillic has no place in the ANSI code page: the name comes back with "?".
  const std::wstring name = L"\x0416\x0451\x043b\x0442\x044b\x0439.exe";
  const std::wstring wide = Wide(top) + L"\\" + name;
  ASSERT_TRUE(UniqueFile(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                        nullptr)));
  WIN32_FIND_DATAA found;
  {
    UniqueFind find(::FindFirstFileA((top + "\\*.exe").c_str(), &found));
    ASSERT_TRUE(find);
  }
  ASSERT_NE(std::string(found.cFileName).find('?'), std::string::npos);
  const std::string shortName = found.cAlternateFileName;
  ASSERT_FALSE(shortName.empty());

  LogCapture log;
  DeleteTree(top);
  EXPECT_EQ(log.Messages(),
            Lines{"ResetFileRights: " + top + " :1"} + Deleted(top + "\\" + shortName));
  EXPECT_EQ(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A volume with 8.3 names switched off: the enumeration gives no short names.
HANDLE WINAPI FindFirstWithoutShortName(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  HANDLE h = ::FindFirstFileA(pattern, data);
  if (h != INVALID_HANDLE_VALUE) data->cAlternateFileName[0] = '\0';
  return h;
}
BOOL WINAPI FindNextWithoutShortName(HANDLE h, LPWIN32_FIND_DATAA data) {
  const BOOL ok = ::FindNextFileA(h, data);
  if (ok) data->cAlternateFileName[0] = '\0';
  return ok;
}

TEST(TreeRemoval, WithoutAShortNameTheQuestionMarkNameFailsAndIsLogged) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  const std::wstring wide = Wide(top) + L"\\\x0416.exe";
  ASSERT_TRUE(UniqueFile(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                        nullptr)));
  WriteFileText(top + "\\plain.exe", "MZ");
  const std::string shown = top + "\\?.exe";
  // The code the platform gives for that name is the one to be logged.
  ASSERT_FALSE(::DeleteFileA(shown.c_str()));
  const DWORD code = ::GetLastError();

  LogCapture log;
  {
    ScopedSeam<decltype(&::FindFirstFileA)> first(Seam().FindFirstFileA,
                                                  &FindFirstWithoutShortName);
    ScopedSeam<decltype(&::FindNextFileA)> next(Seam().FindNextFileA, &FindNextWithoutShortName);
    DeleteTree(top);
  }
  const Lines failed = {"ResetFileRights :" + shown, "ResetFileRights: " + shown + " :0",
                        "Cannot delete: " + shown, "Error: " + std::to_string(code)};
  const Lines plain = Deleted(top + "\\plain.exe");
  const Lines start = {"ResetFileRights: " + top + " :1"};
  const Lines messages = log.Messages();
  EXPECT_TRUE(messages == start + failed + plain || messages == start + plain + failed)
      << ::testing::PrintToString(messages);
  EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(Exists(top + "\\plain.exe")) << "the failure did not stop the walk";
}

TEST(TreeRemoval, FileHeldOpenBlocksEveryFolderAboveIt) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  const std::string x = top + "\\x", y = x + "\\y";
  MakeDirs(y);
  const std::string held = y + "\\GWXUX.exe";
  WriteFileText(held, "MZ");
  WriteFileText(x + "\\free.exe", "MZ");
  UniqueFile holder(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);

  LogCapture log;
  DeleteTree(top);
  const Lines yBlock = Lines{"ResetFileRights: " + y + "\\ :1", "ResetFileRights :" + held,
                             "ResetFileRights: " + held + " :1", "Cannot delete: " + held,
                             "Error: " + std::to_string(ERROR_SHARING_VIOLATION),
                             "ResetFileRights :" + y, "ResetFileRights: " + y + " :1",
                             "Error Remove Dir :" + y};
  const Lines freeBlock = Deleted(x + "\\free.exe");
  const Lines head = {"ResetFileRights: " + top + " :1", "ResetFileRights: " + x + "\\ :1"};
  const Lines xTail = {"ResetFileRights :" + x, "ResetFileRights: " + x + " :1",
                       "Error Remove Dir :" + x};
  const Lines messages = log.Messages();
  EXPECT_TRUE(messages == head + yBlock + freeBlock + xTail ||
              messages == head + freeBlock + yBlock + xTail)
      << ::testing::PrintToString(messages);
  EXPECT_FALSE(Exists(x + "\\free.exe")) << "the walk went on";
  EXPECT_TRUE(Exists(held));
}

// A deletion refused with a chosen code, for one file only.
std::string g_refused;
BOOL WINAPI RefuseOne(LPCSTR path) {
  if (g_refused == path) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::DeleteFileA(path);
}

TEST(TreeRemoval, RefusedDeletionIsLoggedWithItsCodeAndTheWalkGoesOn) {
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  g_refused = top + "\\GWX.exe";
  WriteFileText(g_refused, "MZ");
  WriteFileText(top + "\\GWXUX.exe", "MZ");
  constexpr DWORD kResisting =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(::SetFileAttributesA(g_refused.c_str(), kResisting));
  LogCapture log;
  {
    ScopedSeam<decltype(&::DeleteFileA)> seam(Seam().DeleteFileA, &RefuseOne);
    DeleteTree(top);
  }
  const Lines refused = {"ResetFileRights :" + g_refused,
                         "ResetFileRights: " + g_refused + " :1", "Cannot delete: " + g_refused,
                         "Error: 5"};
  const Lines other = Deleted(top + "\\GWXUX.exe");
  const Lines start = {"ResetFileRights: " + top + " :1"};
  const Lines messages = log.Messages();
  EXPECT_TRUE(messages == start + refused + other || messages == start + other + refused)
      << ::testing::PrintToString(messages);
  // Its attributes were cleared all the same.
  EXPECT_EQ(::GetFileAttributesA(g_refused.c_str()) & kResisting, 0u);
}

// Every SetNamedSecurityInfoA path, to show a link's target is never touched.
std::vector<std::string> g_secured;
DWORD WINAPI RecordSecured(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                           PSID group, PACL dacl, PACL sacl) {
  g_secured.push_back(path);
  return ::SetNamedSecurityInfoA(path, type, what, owner, group, dacl, sacl);
}

TEST(TreeRemoval, FolderLinkIsNeverFollowed) {
  ScratchDir outside;
  MakeDirs(outside / "Documents");
  WriteFileText(outside / "Documents\\letter.txt", "keep me");
  WriteFileText(outside / "notes.txt", "keep me too");
  ScratchDir dir;
  const std::string top = dir / "GWX-";
  MakeDirs(top);
  const std::string link = top + "\\link";
  ASSERT_TRUE(MakeFolderLink(link, outside.path())) << "cannot make a folder link";
  WriteFileText(top + "\\GWX.exe", "MZ");

  LogCapture log;
  g_secured.clear();
  {
    ScopedSeam<decltype(&::SetNamedSecurityInfoA)> seam(Seam().SetNamedSecurityInfoA,
                                                        &RecordSecured);
    DeleteTree(top);
  }
  EXPECT_EQ(ReadFileText(outside / "notes.txt"), "keep me too");
  EXPECT_EQ(ReadFileText(outside / "Documents\\letter.txt"), "keep me");
  for (const std::string& path : g_secured)
    EXPECT_EQ(path.find(link), std::string::npos) << "rights reset through the link: " << path;

  // Only the link itself is acted on, and it is logged as a folder. Windows
  // removes the link; Wine's RemoveDirectoryA turns to the (non-empty) target
  // and fails.
  const Lines messages = log.Messages();
  Lines linkLines;
  for (const std::string& m : messages)
    if (m.find(link) != std::string::npos) linkLines.push_back(m);
  ASSERT_EQ(linkLines.size(), 1u) << ::testing::PrintToString(messages);
  EXPECT_TRUE(linkLines[0] == "Removed Dir :" + link || linkLines[0] == "Error Remove Dir :" + link)
      << linkLines[0];
  EXPECT_FALSE(Exists(top + "\\GWX.exe"));
  if (Exists(link)) {
    EXPECT_TRUE(RemoveLink(link));
  }
}

TEST(TreeRemoval, PendingMessagesAreHandledAtEachEntry) {
  ScratchDir dir;
  WriteFileText(dir / "GWX.exe", "MZ");
  MessageProbe probe;
  ASSERT_TRUE(probe.Post());
  DeleteTree(dir.path());
  EXPECT_EQ(probe.Handled(), 1);
  EXPECT_FALSE(Exists(dir / "GWX.exe"));
}

TEST(TreeRemoval, ForceDeleteFileClearsAttributesWhateverThePathForm) {
  ScratchDir dir;
  struct Case {
    const char* what;
    std::string created;  // full path of the read-only file
    std::string given;    // the path handed over
  };
  const Case cases[] = {
      {"full path", dir / "a.exe", dir / "a.exe"},
      {"forward slashes", dir / "b.exe", dir.path() + "/b.exe"},
      {"relative", dir / "c.exe", "c.exe"},
  };
  char saved[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().c_str()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(c.created, "MZ");
    ASSERT_TRUE(::SetFileAttributesA(c.created.c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(ForceDeleteFile(c.given));
    EXPECT_FALSE(Exists(c.created));
  }
  ::SetCurrentDirectoryA(saved);

  EXPECT_FALSE(ForceDeleteFile(dir / "missing.exe"));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // A folder loses its attributes but is not deleted.
  const std::string folder = dir / "Folder";
  MakeDirs(folder);
  ASSERT_TRUE(::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(ForceDeleteFile(folder));
  EXPECT_EQ(::GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace

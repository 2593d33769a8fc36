#include <gtest/gtest.h>

#include "framework/Handles.h"
#include "removal/RemovalTestSupport.h"
#include "removal/StopProcedure.h"
#include "support/TestSupport.h"

namespace {

using testing_support::Exists;
using testing_support::LogCapture;
using testing_support::MakeDirs;
using testing_support::ReadFileText;
using testing_support::ScratchDir;
using testing_support::WriteFileText;

TEST(StopProcedure, CommandFileIsWrittenAnewOrDeleted) {
  ScratchDir dir;
  const std::string path = dir / "disable-triggers.cmd";
  WriteFileText(path, "an earlier pass's much longer command file\r\n");
  ASSERT_TRUE(SaveCommandFile(path, {"schtasks /end /tn \"a\"", "schtasks /change /tn \"a\" /DISABLE"}));
  EXPECT_EQ(ReadFileText(path), "@cd /d \"%SystemRoot%\\System32\" & if errorlevel 1 exit /b 1\r\n"
                                "schtasks /end /tn \"a\"\r\nschtasks /change /tn \"a\" /DISABLE\r\n");

  EXPECT_TRUE(SaveCommandFile(path, {}));
  EXPECT_FALSE(Exists(path)) << "an empty list must not leave the old file to run";
  EXPECT_TRUE(SaveCommandFile(path, {})) << "a missing file is no error";
}

TEST(StopProcedure, CommandFileThatCannotBeWrittenReportsIt) {
  ScratchDir dir;
  EXPECT_FALSE(SaveCommandFile(dir / "no\\such\\folder.cmd", {"echo x"}));
}

TEST(StopProcedure, TaskFolderAndPrefix) {
  EXPECT_EQ(GwxTaskFolder("C:\\Windows\\SYSNATIVE\\"),
            "C:\\Windows\\SYSNATIVE\\Tasks\\Microsoft\\Windows\\Setup\\GWXTriggers");
  EXPECT_STREQ(kGwxTaskPrefix, "microsoft\\windows\\setup\\GWXTriggers");
}

TEST(StopProcedure, RenameTakesTheFirstNameWhenFree) {
  LogCapture log;
  ScratchDir dir;
  const std::string gwx = dir / "GWX";
  MakeDirs(gwx);
  WriteFileText(gwx + "\\GWX.exe", "x");
  RenameGwx(gwx);
  EXPECT_FALSE(Exists(gwx));
  EXPECT_TRUE(Exists(gwx + "-\\GWX.exe"));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"ResetFileRights: " + gwx + " :1", "GWX renamed"}));
}

TEST(StopProcedure, RenameFallsBackToTheSecondNameAndLogsBoth) {
  LogCapture log;
  ScratchDir dir;
  const std::string gwx = dir / "GWX";
  MakeDirs(gwx);
  MakeDirs(gwx + "-");
  RenameGwx(gwx);
  EXPECT_TRUE(Exists(gwx + "--"));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"ResetFileRights: " + gwx + " :1",
                                                      "Error renaming GWX", "GWX renamed"}));
}

TEST(StopProcedure, RenameFailingTwiceLogsTwoErrors) {
  LogCapture log;
  ScratchDir dir;
  const std::string gwx = dir / "GWX";
  MakeDirs(gwx);
  MakeDirs(gwx + "-");
  MakeDirs(gwx + "--");
  RenameGwx(gwx);
  EXPECT_TRUE(Exists(gwx));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"ResetFileRights: " + gwx + " :1",
                                                      "Error renaming GWX", "Error renaming GWX"}));
}

TEST(StopProcedure, RemovingTheDisabledFolderEmptiesAndRemovesIt) {
  LogCapture log;
  ScratchDir dir;
  const std::string gwx = dir / "GWX";
  MakeDirs(gwx + "-\\sub");
  WriteFileText(gwx + "-\\sub\\x.dll", "x");
  RemoveDisabledGwx(gwx);
  EXPECT_FALSE(Exists(gwx + "-"));
  const std::vector<std::string> m = log.Messages();
  ASSERT_GE(m.size(), 3u);
  EXPECT_EQ(m.front(), "ResetFileRights: " + gwx + "- :1");
  EXPECT_EQ(m[1], "Starting Shred: " + gwx + "-");
  EXPECT_EQ(m.back(), "Remove Dir: " + gwx + "-");
}

TEST(StopProcedure, RemovingAMissingDisabledFolderStillLogsTheSteps) {
  LogCapture log;
  ScratchDir dir;
  const std::string gwx = dir / "GWX";
  RemoveDisabledGwx(gwx);
  const std::vector<std::string> m = log.Messages();
  ASSERT_GE(m.size(), 3u);
  EXPECT_EQ(m.front(), "ResetFileRights: " + gwx + "- :0");
  EXPECT_EQ(m[1], "Starting Shred: " + gwx + "-");
  EXPECT_EQ(m.back(), "Remove Dir: " + gwx + "-");
}

// GWX- or GWX itself may be a link: the link is removed or renamed, and
// what it points at keeps its files and its rights.
TEST(StopProcedure, LinksStandingForTheFoldersGoOrMoveAsLinks) {
  LogCapture log;
  ScratchDir outside, dir;
  WriteFileText(outside / "letter.txt", "keep me");
  const std::string gwx = dir / "GWX";
  ASSERT_TRUE(removal_testing::MakeFolderLink(gwx + "-", outside.path()));
  {
    removal_testing::ScopedFileLinkSeams records("nothing marked");
    RemoveDisabledGwx(gwx);
  }
  EXPECT_EQ(removal_testing::g_secured, std::vector<std::string>{});
  EXPECT_EQ(ReadFileText(outside / "letter.txt"), "keep me");
  if (Exists(gwx + "-")) {
    ASSERT_TRUE(removal_testing::RemoveLink(gwx + "-"));
  }

  ASSERT_TRUE(removal_testing::MakeFolderLink(gwx, outside.path()));
  {
    removal_testing::ScopedFileLinkSeams records("nothing marked");
    RenameGwx(gwx);
  }
  EXPECT_EQ(removal_testing::g_secured, std::vector<std::string>{});
  // Windows renames the link; Wine renames the folder it points at.
  EXPECT_FALSE(Exists(gwx));
  EXPECT_EQ(ReadFileText(gwx + "-\\letter.txt"), "keep me");
  if (removal_testing::IsFolderLink(gwx + "-")) {
    EXPECT_TRUE(removal_testing::RemoveLink(gwx + "-"));
  }
}

}  // namespace

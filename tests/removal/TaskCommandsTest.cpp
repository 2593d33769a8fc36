#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Seam.h"
#include "removal/CommandRunner.h"
#include "removal/RemovalTestSupport.h"
#include "removal/TaskCommands.h"
#include "support/TestSupport.h"

namespace {

using removal_testing::MessageProbe;
using testing_support::LogCapture;
using testing_support::MakeDirs;
using testing_support::ReadFileText;
using testing_support::ScratchDir;
using testing_support::WriteFileText;
using Lines = std::vector<std::string>;

const std::string kPrefix = "microsoft\\windows\\setup\\GWXTriggers";

// The task names in list order, checking that each task file gave its two
// lines, in order, next to each other.
Lines TasksOf(const Lines& list) {
  const std::string head = "schtasks /end /tn \"";
  Lines tasks;
  EXPECT_EQ(list.size() % 2, 0u);
  for (size_t i = 0; i + 1 < list.size(); i += 2) {
    EXPECT_EQ(list[i].compare(0, head.size(), head), 0) << list[i];
    const std::string task = list[i].substr(head.size(), list[i].size() - head.size() - 1);
    EXPECT_EQ(list[i], head + task + "\"");
    EXPECT_EQ(list[i + 1], "schtasks /change /tn \"" + task + "\" /DISABLE");
    tasks.push_back(task);
  }
  return tasks;
}

Lines Sorted(Lines v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(TaskCommands, EmptyMissingOrNoListAddsNothingAndResetsNothing) {
  ScratchDir dir;
  MakeDirs(dir / "GWXTriggers");
  WriteFileText(dir / "task", "<Task/>");
  LogCapture log;
  for (const std::string& folder : {dir / "GWXTriggers", dir / "missing"}) {
    Lines list = {"kept"};
    CollectTaskCommands(folder, kPrefix, &list);
    EXPECT_EQ(list, Lines{"kept"}) << folder;
  }
  CollectTaskCommands(dir.path(), kPrefix, nullptr);
  EXPECT_TRUE(log.Messages().empty());
}

TEST(TaskCommands, TaskFilesAnywhereBelowGiveTwoLinesAndAReset) {
  ScratchDir dir;
  const std::string folder = dir / "GWXTriggers";
  MakeDirs(folder + "\\Sub\\Deeper");
  const Lines files = {"refreshgwxconfig-B", "launchtrayprocess", "Sub\\refreshgwxconfigandcontent",
                       "Sub\\Deeper\\hidden-task"};
  Lines expected;
  for (const std::string& file : files) {
    WriteFileText(folder + "\\" + file, "<Task/>");
    expected.push_back(kPrefix + "\\" + file);
  }
  // Every attribute is admitted.
  ASSERT_TRUE(::SetFileAttributesA((folder + "\\" + files.back()).c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_READONLY));
  // Folder and prefix may come with or without their trailing "\".
  for (const bool trailing : {false, true}) {
    SCOPED_TRACE(trailing ? "with \\" : "without \\");
    LogCapture log;
    MessageProbe probe;
    ASSERT_TRUE(probe.Post());
    Lines list;
    CollectTaskCommands(trailing ? folder + "\\" : folder, trailing ? kPrefix + "\\" : kPrefix,
                        &list);
    const Lines tasks = TasksOf(list);
    EXPECT_EQ(Sorted(tasks), Sorted(expected));
    // Each task file's rights are reset, in the order of its lines.
    Lines resets;
    for (const std::string& task : tasks)
      resets.push_back("ResetFileRights: " + folder + task.substr(kPrefix.size()) + " :1");
    EXPECT_EQ(log.Messages(), resets);
    EXPECT_EQ(probe.Handled(), 1) << "pending messages are handled during the walk";
  }
}

TEST(TaskCommands, PercentSignsSurviveTheCommandInterpreter) {
  ScratchDir dir;
  const std::string folder = dir / "GWXTriggers";
  MakeDirs(folder + "\\50%");
  const Lines names = {"a%PATH%b", "100%", "50%\\x%1y"};
  Lines real;
  for (const std::string& name : names) {
    WriteFileText(folder + "\\" + name, "<Task/>");
    real.push_back(kPrefix + "\\" + name);
  }
  Lines list;
  CollectTaskCommands(folder, kPrefix, &list);
  EXPECT_NE(std::find(list.begin(), list.end(),
                      "schtasks /end /tn \"" + kPrefix + "\\a%%PATH%%b\""),
            list.end());
  // Through cmd.exe, with "echo" in place of the tool, each line must show
  // the real task name.
  std::string script = "@echo off\r\n", expected;
  Lines shown;
  for (std::string task : TasksOf(list)) {
    for (size_t at = 0; (at = task.find("%%", at)) != std::string::npos; ++at) task.erase(at, 1);
    shown.push_back(task);
    expected += "/end /tn \"" + task + "\"\r\n/change /tn \"" + task + "\" /DISABLE\r\n";
  }
  for (const std::string& line : list) script += "echo" + line.substr(8) + "\r\n";
  EXPECT_EQ(Sorted(shown), Sorted(real));
  WriteFileText(dir / "show.cmd", script);
  ASSERT_TRUE(RunAndWait(dir / "show.cmd", ">out.txt", dir.path(), SW_HIDE));
  EXPECT_EQ(ReadFileText(dir / "out.txt"), expected);
}

TEST(TaskCommands, LinksAreNeitherWalkedNorGivenNewRights) {
  ScratchDir outside, dir;
  WriteFileText(outside / "not-a-task.txt", "someone else's file");
  const std::string folder = dir / "GWXTriggers";
  MakeDirs(folder);
  WriteFileText(folder + "\\refreshgwxconfig", "<Task/>");
  WriteFileText(folder + "\\linked-task", "<Task/>");
  ASSERT_TRUE(removal_testing::MakeFolderLink(folder + "\\Elsewhere", outside.path()));
  Lines list;
  {
    removal_testing::ScopedFileLinkSeams links("linked-task");
    CollectTaskCommands(folder, kPrefix, &list);
  }
  // A linked task file is still ended and disabled; only its rights stay.
  EXPECT_EQ(Sorted(TasksOf(list)), Sorted({kPrefix + "\\refreshgwxconfig", kPrefix + "\\linked-task"}));
  EXPECT_EQ(removal_testing::g_secured, Lines{folder + "\\refreshgwxconfig"});
  EXPECT_TRUE(removal_testing::RemoveLink(folder + "\\Elsewhere"));
}

}  // namespace

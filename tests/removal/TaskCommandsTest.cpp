#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

const char kPrefix[] = "microsoft\\windows\\setup\\GWXTriggers";

std::string EndLine(const std::string& task) { return "schtasks /end /tn \"" + task + "\""; }
std::string ChangeLine(const std::string& task) {
  return "schtasks /change /tn \"" + task + "\" /DISABLE";
}

// The list is in the file system's order; per task file it must hold the two
// lines, in order, next to each other. Returns the task names in list order.
std::vector<std::string> TasksOf(const std::vector<std::string>& list) {
  std::vector<std::string> tasks;
  const std::string head = "schtasks /end /tn \"";
  for (size_t i = 0; i < list.size(); i += 2) {
    const std::string& end = list[i];
    EXPECT_EQ(end.compare(0, head.size(), head), 0) << end;
    EXPECT_EQ(end.back(), '"') << end;
    const std::string task = end.substr(head.size(), end.size() - head.size() - 1);
    if (i + 1 < list.size()) {
      EXPECT_EQ(list[i + 1], ChangeLine(task));
    } else {
      ADD_FAILURE() << "no change line for " << task;
    }
    tasks.push_back(task);
  }
  return tasks;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(TaskCommands, EmptyOrMissingFolderAddsNothingAndResetsNothing) {
  ScratchDir dir;
  MakeDirs(dir / "GWXTriggers");
  for (const std::string& folder : {dir / "GWXTriggers", dir / "missing"}) {
    SCOPED_TRACE(folder);
    LogCapture log;
    std::vector<std::string> list = {"kept"};
    CollectTaskCommands(folder, kPrefix, &list);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
    EXPECT_TRUE(log.Messages().empty());
  }
}

TEST(TaskCommands, NoListMeansNothingIsDone) {
  ScratchDir dir;
  WriteFileText(dir / "launchtrayprocess", "<Task/>");
  LogCapture log;
  MessageProbe probe;
  ASSERT_TRUE(probe.Post());
  CollectTaskCommands(dir.path(), kPrefix, nullptr);
  EXPECT_TRUE(log.Messages().empty()) << "no rights were reset";
  EXPECT_EQ(probe.Handled(), 0) << "the walk did not even start";
}

TEST(TaskCommands, TaskFilesAnywhereBelowGiveTwoLinesAndAReset) {
  ScratchDir dir;
  const std::string folder = dir / "GWXTriggers";
  MakeDirs(folder + "\\Sub\\Deeper");
  WriteFileText(folder + "\\refreshgwxconfig-B", "<Task/>");
  WriteFileText(folder + "\\launchtrayprocess", "<Task/>");
  WriteFileText(folder + "\\Sub\\refreshgwxconfigandcontent", "<Task/>");
  WriteFileText(folder + "\\Sub\\Deeper\\hidden-task", "<Task/>");
  // Every attribute is admitted.
  ASSERT_TRUE(::SetFileAttributesA((folder + "\\Sub\\Deeper\\hidden-task").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_READONLY));
  const std::vector<std::string> expected = Sorted({
      std::string(kPrefix) + "\\refreshgwxconfig-B",
      std::string(kPrefix) + "\\launchtrayprocess",
      std::string(kPrefix) + "\\Sub\\refreshgwxconfigandcontent",
      std::string(kPrefix) + "\\Sub\\Deeper\\hidden-task",
  });
  // Folder and prefix may come with or without their trailing "\".
  const std::pair<std::string, std::string> spellings[] = {
      {folder, kPrefix}, {folder + "\\", std::string(kPrefix) + "\\"}};
  for (const auto& [walked, prefix] : spellings) {
    SCOPED_TRACE(walked + " / " + prefix);
    LogCapture log;
    std::vector<std::string> list;
    CollectTaskCommands(walked, prefix, &list);
    const std::vector<std::string> tasks = TasksOf(list);
    EXPECT_EQ(Sorted(tasks), expected);
    // Each task file's rights are reset after its lines, in the same order.
    std::vector<std::string> resets;
    for (const std::string& task : tasks)
      resets.push_back("ResetFileRights: " + folder + task.substr(std::string(kPrefix).size()) +
                       " :1");
    EXPECT_EQ(log.Messages(), resets);
  }
}

TEST(TaskCommands, PendingMessagesAreHandledAtEachEntry) {
  ScratchDir dir;
  WriteFileText(dir / "task", "<Task/>");
  MessageProbe probe;
  ASSERT_TRUE(probe.Post());
  std::vector<std::string> list;
  CollectTaskCommands(dir.path(), kPrefix, &list);
  EXPECT_EQ(probe.Handled(), 1);
  EXPECT_EQ(list.size(), 2u);
}

TEST(TaskCommands, PercentSignsSurviveTheCommandInterpreter) {
  ScratchDir dir;
  const std::string folder = dir / "GWXTriggers";
  MakeDirs(folder + "\\50%");
  const std::vector<std::string> names = {"a%PATH%b", "100%", "50%\\x%1y"};
  for (const std::string& name : names) WriteFileText(folder + "\\" + name, "<Task/>");

  std::vector<std::string> list;
  CollectTaskCommands(folder, kPrefix, &list);
  ASSERT_EQ(list.size(), 2 * names.size());
  EXPECT_NE(std::find(list.begin(), list.end(), EndLine(std::string(kPrefix) + "\\a%%PATH%%b")),
            list.end());

  // Run every line through cmd.exe with "echo" in place of the tool: what
  // the tool would receive must be the real task name.
  std::string script = "@echo off\r\n";
  for (const std::string& line : list)
    script += "echo" + line.substr(std::string("schtasks").size()) + "\r\n";
  WriteFileText(dir / "show.cmd", script);
  ASSERT_TRUE(RunAndWait(dir / "show.cmd", ">out.txt", dir.path(), SW_HIDE));
  std::string expected;
  std::vector<std::string> shown;
  for (std::string task : TasksOf(list)) {
    for (size_t at = 0; (at = task.find("%%", at)) != std::string::npos; ++at) task.erase(at, 1);
    shown.push_back(task);
    expected += "/end /tn \"" + task + "\"\r\n/change /tn \"" + task + "\" /DISABLE\r\n";
  }
  std::vector<std::string> realNames;
  for (const std::string& name : names) realNames.push_back(std::string(kPrefix) + "\\" + name);
  EXPECT_EQ(Sorted(shown), Sorted(realNames));
  EXPECT_EQ(ReadFileText(dir / "out.txt"), expected);
}

}  // namespace

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/Modes.h"
#include "framework/Application.h"
#include "framework/Args.h"
#include "framework/WindowTestKit.h"

namespace {

RunMode ModeOf(const char* commandLine) {
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  return ModeForArgument(args.size() > 1 ? args[1] : std::string());
}

TEST(Modes, OnlyTheExactFirstArgumentChoosesAMode) {
  struct Case { const char* commandLine; RunMode mode; };
  const Case cases[] = {
      {"quellix.exe", RunMode::Interactive},
      {"quellix.exe /auto", RunMode::Automatic},
      {"quellix.exe /postins", RunMode::PostInstall},
      {"quellix.exe /Auto", RunMode::Interactive},
      {"quellix.exe /AUTO", RunMode::Interactive},
      {"quellix.exe -auto", RunMode::Interactive},
      {"quellix.exe /auto1", RunMode::Interactive},
      {"quellix.exe /postins /auto", RunMode::PostInstall},
      {"quellix.exe /auto /postins", RunMode::Automatic},
      {"\"C:\\Program Files\\Q\\quellix.exe\" \"/auto\"", RunMode::Automatic},
      {"\"C:\\Q\\quellix.exe\" /deb C:\\Windows\\System32\\GWX\\GWX.exe /auto",
       RunMode::Interactive},
  };
  for (const Case& c : cases) EXPECT_EQ(ModeOf(c.commandLine), c.mode) << c.commandLine;
}

TEST(Modes, SplittingFollowsTheFrameworkRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("a.exe"), V({"a.exe"}));
  EXPECT_EQ(SplitCommandLine("  a.exe\t/auto  "), V({"a.exe", "/auto"}));
  // Quoted stretches keep their blanks and lose their quotes, also inside a word.
  EXPECT_EQ(SplitCommandLine("\"C:\\My Tools\\q.exe\" \"two words\" x\"y z\"w"),
            V({"C:\\My Tools\\q.exe", "two words", "xy zw"}));
  // Every control character separates, like a blank.
  EXPECT_EQ(SplitCommandLine("a.exe\x01/auto\x1f/b"), V({"a.exe", "/auto", "/b"}));
  // An empty pair of quotes between arguments counts for nothing.
  EXPECT_EQ(SplitCommandLine("a.exe \"\" /auto"), V({"a.exe", "/auto"}));
  // An unterminated quote runs to the end.
  EXPECT_EQ(SplitCommandLine("a.exe \"/deb C:\\x"), V({"a.exe", "/deb C:\\x"}));
  // Characters above 127 are ordinary characters.
  EXPECT_EQ(SplitCommandLine("a.exe \xe9t\xe9"), V({"a.exe", "\xe9t\xe9"}));
  // A blocking entry's command line: "/deb" and the blocked program's own.
  EXPECT_EQ(SplitCommandLine("\"C:\\Q\\quellix.exe\" /deb \"C:\\Windows\\system32\\GWX\\GWX.exe\" -a"),
            V({"C:\\Q\\quellix.exe", "/deb", "C:\\Windows\\system32\\GWX\\GWX.exe", "-a"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
}

// Whatever escapes the entry's steps, of any type, is shown in the standard
// box, and the exit code stays 0.
TEST(Modes, NothingEscapesTheEntry) {
  Application->SetTitle("Quellix");
  const std::pair<void (*)(), const char*> cases[] = {
      {[] { throw std::runtime_error("the main window failed"); }, "the main window failed."},
      {[] { throw 42; }, "Unknown exception."}};
  for (const auto& [steps, text] : cases) {
    window_test::MessageBoxWatcher watcher;
    EXPECT_EQ(RunProgram(steps), 0);
    const window_test::SeenMessageBox& box = watcher.Join();
    EXPECT_TRUE(box.seen && box.caption == "Quellix" && box.text == text) << box.text;
  }
}

}  // namespace

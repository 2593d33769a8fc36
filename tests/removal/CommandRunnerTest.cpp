#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Seam.h"
#include "removal/CommandRunner.h"
#include "removal/RemovalTestSupport.h"
#include "support/TestSupport.h"

namespace {

using removal_testing::Appears;
using testing_support::Exists;
using testing_support::MakeDirs;
using testing_support::ReadFileText;
using testing_support::ScratchDir;
using testing_support::WriteFileText;

// Writes "started.txt", waits until "release.txt" exists, then writes
// "finished.txt": a script that runs for as long as the test wants.
const char kBlocker[] =
    "@echo off\r\n"
    "echo started>started.txt\r\n"
    ":wait\r\n"
    "if exist release.txt goto done\r\n"
    "ping -n 2 127.0.0.1 >nul\r\n"
    "goto wait\r\n"
    ":done\r\n"
    "echo finished>finished.txt\r\n";

// What a handler does once the script is running: the timer's message is
// handled inside RunAndWait's wait, as a click on "Stop Waiting..." would be.
enum class OnStarted { SetStopWaiting, PostQuit };
std::string g_startedMarker;
OnStarted g_action;
int g_handled = 0;

void CALLBACK WhenStarted(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!Exists(g_startedMarker)) return;
  ::KillTimer(nullptr, timer);
  ++g_handled;
  if (g_action == OnStarted::SetStopWaiting)
    g_StopWaiting = true;
  else
    ::PostQuitMessage(7);
}

std::vector<std::string> g_deleted;
BOOL WINAPI RecordDelete(LPCSTR path) {
  g_deleted.push_back(path);
  return ::DeleteFileA(path);
}

class CommandRunner : public ::testing::Test {
 protected:
  void SetUp() override { g_StopWaiting = false; }
  void TearDown() override {
    // A script still waiting for its release must not outlive the test.
    WriteFileText(dir_ / "release.txt", "");
    if (Exists(dir_ / "started.txt")) Appears(dir_ / "finished.txt");
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  std::string Script(const std::string& name, const std::string& text) {
    WriteFileText(dir_ / name, text);
    return dir_ / name;
  }
  // Runs the blocker and has the timer act once it has started.
  bool RunBlockerUntil(OnStarted action) {
    g_startedMarker = dir_ / "started.txt";
    g_action = action;
    g_handled = 0;
    const std::string blocker = Script("blocker.cmd", kBlocker);
    EXPECT_NE(::SetTimer(nullptr, 0, 50, &WhenStarted), 0u);
    return RunAndWait(blocker, "", dir_.path(), SW_HIDE);
  }
  ScratchDir dir_;
};

TEST_F(CommandRunner, MissingFileStartsNothing) {
  MakeDirs(dir_ / "folder.cmd");
  g_deleted.clear();
  ScopedSeam<decltype(&::DeleteFileA)> seam(Seam().DeleteFileA, &RecordDelete);
  g_StopWaiting = true;
  for (const std::string& file : {dir_ / "missing.cmd", dir_ / "folder.cmd", std::string()}) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(RunAndWait(file, ">log.txt", dir_.path(), SW_HIDE));
  }
  EXPECT_TRUE(g_deleted.empty()) << "not even the zone stream is touched";
  EXPECT_TRUE(g_StopWaiting) << "the flag is cleared only before a start";
  EXPECT_FALSE(Exists(dir_ / "log.txt"));
}

TEST_F(CommandRunner, RedirectionsLandInTheWorkingDirectory) {
  // The scripts live apart from the working directory.
  MakeDirs(dir_ / "scripts");
  MakeDirs(dir_ / "work");
  const std::string first = dir_ / "scripts\\first.bat";
  const std::string second = dir_ / "scripts\\second.cmd";
  WriteFileText(first, "@echo first run\r\n");
  WriteFileText(second, "@echo second run\r\n");
  const std::string log = dir_ / "work\\log.txt";
  struct Step {
    std::string file;
    const char* parameters;
    const char* logAfter;
  };
  const Step steps[] = {
      {first, ">log.txt", "first run\r\n"},
      {second, ">>log.txt", "first run\r\nsecond run\r\n"},
      {first, ">log.txt", "first run\r\n"},  // ">" starts the log afresh
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.parameters);
    EXPECT_TRUE(RunAndWait(step.file, step.parameters, dir_ / "work", SW_HIDE));
    // The wait lasted until the script had written its output.
    EXPECT_EQ(ReadFileText(log), step.logAfter);
  }
  EXPECT_FALSE(Exists(dir_ / "scripts\\log.txt"));
}

TEST_F(CommandRunner, ZoneStreamIsRemovedAndTheFileStarts) {
  const std::string script = Script("downloaded.cmd", "@echo ran>ran.txt\r\n");
  const std::string zone = script + ":Zone.Identifier:$DATA";
  WriteFileText(zone, "[ZoneTransfer]\r\nZoneId=3\r\n");
  ASSERT_TRUE(Exists(zone));
  EXPECT_TRUE(RunAndWait(script, "", dir_.path(), SW_HIDE));
  EXPECT_EQ(ReadFileText(dir_ / "ran.txt"), "ran\r\n");
  EXPECT_FALSE(Exists(zone));
  EXPECT_TRUE(Exists(script));
}

TEST_F(CommandRunner, StopWaitingEndsOnlyTheCurrentWait) {
  EXPECT_TRUE(RunBlockerUntil(OnStarted::SetStopWaiting));
  EXPECT_EQ(g_handled, 1);
  EXPECT_TRUE(Exists(dir_ / "started.txt"));
  EXPECT_FALSE(Exists(dir_ / "finished.txt")) << "the wait ended while the script still ran";

  // The script was not ended: released, it finishes by itself.
  WriteFileText(dir_ / "release.txt", "");
  EXPECT_TRUE(Appears(dir_ / "finished.txt"));

  // The flag is still set; the next call clears it and waits to the end.
  ASSERT_TRUE(g_StopWaiting);
  const std::string slow =
      Script("slow.cmd", "@ping -n 2 127.0.0.1 >nul\r\n@echo done>slow.txt\r\n");
  EXPECT_TRUE(RunAndWait(slow, "", dir_.path(), SW_HIDE));
  EXPECT_FALSE(g_StopWaiting);
  EXPECT_TRUE(Exists(dir_ / "slow.txt")) << "the earlier stop ended this wait too";
}

TEST_F(CommandRunner, QuitEndsTheWaitAndReachesTheCallersLoop) {
  EXPECT_TRUE(RunBlockerUntil(OnStarted::PostQuit));
  EXPECT_EQ(g_handled, 1);
  EXPECT_FALSE(Exists(dir_ / "finished.txt")) << "the wait ended while the script still ran";
  MSG msg;
  ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      << "the quit message was swallowed";
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(CommandRunner, AfterACloseAWaitReturnsAtOnce) {
  Application->Terminate();  // a close, taken by the task walk's message handling
  Application->ProcessMessages();
  const bool started = RunAndWait(Script("blocker.cmd", kBlocker), "", dir_.path(), SW_HIDE);
  Application->ResetMainForm();  // no longer terminated
  EXPECT_TRUE(started && Appears(dir_ / "started.txt"));
  EXPECT_FALSE(Exists(dir_ / "finished.txt")) << "the wait lasted until the script ended";
}

}  // namespace

#include <gtest/gtest.h>

#include "framework/Handles.h"
#include "removal/DiagnosticLog.h"
#include "support/TestSupport.h"

namespace {

using testing_support::Exists;
using testing_support::LogCapture;
using testing_support::ReadFileText;

SYSTEMTIME At(WORD h, WORD m, WORD s) {
  SYSTEMTIME t = {};
  t.wYear = 2016;
  t.wMonth = 5;
  t.wDay = 24;
  t.wDayOfWeek = 2;
  t.wHour = h;
  t.wMinute = m;
  t.wSecond = s;
  return t;
}

std::string PlatformDate(const SYSTEMTIME& t) {
  char b[64] = {};
  ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, b, sizeof(b));
  return b;
}
std::string PlatformTime(const SYSTEMTIME& t) {
  char b[64] = {};
  ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, b, sizeof(b));
  return b;
}

TEST(DiagnosticLog, FirstEntryCreatesTheFileWithExactlyTwoLines) {
  LogCapture log;
  ASSERT_FALSE(Exists(log.path()));
  WriteLog("GWX renamed");
  const std::string text = log.Text();
  const size_t firstBreak = text.find("\r\n");
  ASSERT_NE(firstBreak, std::string::npos);
  EXPECT_EQ(text.substr(firstBreak), "\r\nGWX renamed\r\n");
  EXPECT_FALSE(text.substr(0, firstBreak).empty()) << "a date line comes first";
}

TEST(DiagnosticLog, DateLineUsesThePlatformFormatsAndDropsMidnight) {
  const SYSTEMTIME noon = At(13, 5, 9);
  EXPECT_EQ(FormatLogDateTime(noon), PlatformDate(noon) + " " + PlatformTime(noon));
  const SYSTEMTIME midnight = At(0, 0, 0);
  EXPECT_EQ(FormatLogDateTime(midnight), PlatformDate(midnight));
  // One second past midnight is a time again.
  const SYSTEMTIME justAfter = At(0, 0, 1);
  EXPECT_EQ(FormatLogDateTime(justAfter), PlatformDate(justAfter) + " " + PlatformTime(justAfter));
}

TEST(DiagnosticLog, EntriesAppendAndKeepTheMessageByteForByte) {
  LogCapture log;
  WriteLog("OpenProcessToken failed: 5\n");
  WriteLog("Deleted: C:\\x\\\xe9t\xe9.txt");
  WriteLog("");
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"OpenProcessToken failed: 5\n",
                                                      "Deleted: C:\\x\\\xe9t\xe9.txt", ""}));
  // A message ending in LF gives LF CR LF.
  EXPECT_NE(log.Text().find("failed: 5\n\r\n"), std::string::npos);
}

TEST(DiagnosticLog, AnExclusivelyHeldFileLosesTheEntryAndTheNextCallWrites) {
  LogCapture log;
  WriteLog("first");
  {
    UniqueFile holder(::CreateFileA(log.path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    WriteLog("lost");
  }
  WriteLog("second");
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"first", "second"}));
}

TEST(DiagnosticLog, NothingIsWrittenWhileThePathIsEmptyOrUnwritable) {
  LogCapture log;
  const std::string saved = g_DiagnosticLogPath;
  g_DiagnosticLogPath.clear();
  WriteLog("nowhere");
  g_DiagnosticLogPath = saved;
  EXPECT_FALSE(Exists(log.path()));

  g_DiagnosticLogPath = saved + "\\no-such-folder\\log2.txt";
  WriteLog("nowhere either");  // must simply return
  g_DiagnosticLogPath = saved;
  EXPECT_FALSE(Exists(log.path()));
}

}  // namespace

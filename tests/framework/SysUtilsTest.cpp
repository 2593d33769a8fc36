// AnsiPath on a real folder whose name Wine's code page (1252) cannot spell.
#include <gtest/gtest.h>

#include "framework/SysUtils.h"
#include "support/TestSupport.h"

TEST(SysUtils, AFolderOutsideTheCodePageIsNamedByItsShortForm) {
  testing_support::ScratchDir scratch;
  const std::wstring folder(std::wstring(scratch.path().begin(), scratch.path().end()) + L"\\\u5DE5\u5177 Quellix");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::string ansi = AnsiPath(folder, 32);
  testing_support::WriteFileText(ansi + "\\marker.txt", "");
  EXPECT_TRUE(::DeleteFileW((folder + L"\\marker.txt").c_str())) << ansi << ": not that very folder";
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

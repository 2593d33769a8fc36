// The executable folder's 8-bit form, on real folders whose names the
// system code page (Wine's: 1252) cannot spell.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/SysUtils.h"
#include "support/TestSupport.h"

namespace {

TEST(SysUtils, AnsiPathNamesTheSameFolderOrNone) {
  testing_support::ScratchDir scratch;  // a plain ASCII path
  const std::wstring base(scratch.path().begin(), scratch.path().end());
  const std::wstring chinese = base + L"\\\u5DE5\u5177 Quellix";
  const std::wstring greek = base + L"\\\u03A3";  // a best fit would make it "S"
  ASSERT_TRUE(::CreateDirectoryW(chinese.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(greek.c_str(), nullptr));
  testing_support::MakeDirs(scratch / "S");

  for (const std::wstring& folder : {chinese, greek}) {
    const std::string ansi = AnsiPath(folder, 32);
    ASSERT_FALSE(ansi.empty());
    for (char c : ansi) EXPECT_TRUE(c >= ' ' && c < 0x7F) << ansi;  // plain ASCII, no "?"
    EXPECT_EQ(ansi.find('?'), std::string::npos) << ansi;
    EXPECT_NE(ansi, scratch / "S") << "a look-alike names another folder";
    // The 8-bit form names the folder itself.
    testing_support::WriteFileText(ansi + "\\marker.txt", "beside the program");
    EXPECT_TRUE(::DeleteFileW((folder + L"\\marker.txt").c_str()));
    EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
  }
  // An exact form is kept as it is.
  EXPECT_EQ(AnsiPath(base + L"\\Caf\u00E9"), scratch / "Caf\xE9");
}

}  // namespace

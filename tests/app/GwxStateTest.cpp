#include <gtest/gtest.h>

#include "app/GwxState.h"
#include "support/TestSupport.h"

namespace {

using testing_support::ScratchDir;

// A fake Windows directory with both system folder spellings.
class GwxState : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryA((windows_ / "SYSTEM32").c_str(), nullptr);
    ::CreateDirectoryA((windows_ / "SYSNATIVE").c_str(), nullptr);
  }
  std::string In(const char* systemFolder, const char* name) {
    return windows_ / (std::string(systemFolder) + "\\" + name);
  }
  ScratchDir windows_;
};

TEST_F(GwxState, StateFollowsTheFoldersFound) {
  const std::string dir = windows_.path();
  EXPECT_EQ(DetectGwxState(dir, false), gwxNotInstalled);

  ::CreateDirectoryA(In("SYSTEM32", "GWX--").c_str(), nullptr);
  EXPECT_EQ(DetectGwxState(dir, false), gwxDisabled) << "the second name of a rename";

  ::CreateDirectoryA(In("SYSTEM32", "GWX-").c_str(), nullptr);
  EXPECT_EQ(DetectGwxState(dir, false), gwxDisabled);

  ::CreateDirectoryA(In("SYSTEM32", "GWX").c_str(), nullptr);
  EXPECT_EQ(DetectGwxState(dir, false), gwxInstalled) << "GWX wins over GWX-";
}

TEST_F(GwxState, APlainFileNamedGwxCountsAsInstalled) {
  testing_support::WriteFileText(In("SYSTEM32", "GWX"), "not a folder");
  ::SetFileAttributesA(In("SYSTEM32", "GWX").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(DetectGwxState(windows_.path(), false), gwxInstalled);
  ::SetFileAttributesA(In("SYSTEM32", "GWX").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(GwxState, The64BitFlagProbesThroughSysnative) {
  ::CreateDirectoryA(In("SYSNATIVE", "GWX").c_str(), nullptr);
  ::CreateDirectoryA(In("SYSTEM32", "GWX-").c_str(), nullptr);
  EXPECT_EQ(DetectGwxState(windows_.path(), true), gwxInstalled);
  EXPECT_EQ(DetectGwxState(windows_.path(), false), gwxDisabled);
  EXPECT_EQ(GwxFolder("C:\\Windows", true), "C:\\Windows\\SYSNATIVE\\GWX");
  EXPECT_EQ(GwxFolder("C:\\Windows", false), "C:\\Windows\\SYSTEM32\\GWX");
}

TEST_F(GwxState, AnUnreadablePathCountsAsAbsent) {
  const std::string longDir = windows_.path() + "\\" + std::string(300, 'x');
  EXPECT_EQ(DetectGwxState(longDir, false), gwxNotInstalled);
}

}  // namespace

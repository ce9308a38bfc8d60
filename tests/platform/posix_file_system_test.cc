// The POSIX folders' own rules: where the application data folder comes from.
#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace {

TEST(PosixFileSystemTest, ApplicationDataFollowsTheXdgVariablesAndFallsBackToTmp) {
  CPosixFileSystem files;
  {
    CScopedEnvironment data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(files.LocalAppDataFolder(), L"/srv/data");
  }
  {
    CScopedEnvironment data("XDG_DATA_HOME", nullptr);
    CScopedEnvironment home("HOME", "/home/someone");
    EXPECT_EQ(files.LocalAppDataFolder(), L"/home/someone/.local/share");
  }
  {
    CScopedEnvironment data("XDG_DATA_HOME", "relative/is/invalid");
    CScopedEnvironment home("HOME", "/h");
    EXPECT_EQ(files.LocalAppDataFolder(), L"/h/.local/share");
  }
  CScopedEnvironment tmp("TMPDIR", nullptr);
  EXPECT_EQ(files.FallbackFolder(), L"/tmp/");
}

}  // namespace

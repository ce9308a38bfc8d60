// The POSIX folders' own rules: where the application data folder comes from, and the private
// fallback folder used when there is none.
#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "common/text.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(PosixFileSystemTest, ApplicationDataFollowsTheXdgVariables) {
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
}

// Without a home folder the log went to the shared temporary folder itself, where any user
// could make the log's folder first, or put a link in its place, and read or redirect the log.
TEST(PosixFileSystemTest, TheFallbackIsAFolderOfTheUsersOwnThatNobodyElseCanTakeFirst) {
  namespace fs = std::filesystem;
  CTempFolder temp;
  CScopedEnvironment tmp("TMPDIR", temp.Path().c_str());
  const std::string own = temp.Path() + "/Zenlet-" + std::to_string(geteuid());
  const std::string elsewhere = temp.Path() + "/elsewhere";
  fs::create_directories(elsewhere);
  CPosixFileSystem files;
  EXPECT_EQ(files.FallbackFolder(), Utf8ToWide(own + "/"));
  EXPECT_EQ(FileMode(own), 0700u);
  EXPECT_EQ(files.FallbackFolder(), Utf8ToWide(own + "/")) << "still ours the next time";

  const struct {
    const char* szWhat;
    std::function<bool()> takeFirst;  // false: cannot be staged here
  } takers[] = {
      {"a link to another folder", [&] { return symlink(elsewhere.c_str(), own.c_str()) == 0; }},
      {"a folder open to everyone",
       [&] { return mkdir(own.c_str(), 0700) == 0 && chmod(own.c_str(), 0777) == 0; }},
      {"another user's folder",
       [&] {
         return geteuid() == 0 && mkdir(own.c_str(), 0700) == 0 &&
                chown(own.c_str(), 65534, 65534) == 0;
       }},
      {"a file", [&] { return static_cast<bool>(std::ofstream(own) << "x"); }},
  };
  for (const auto& taker : takers) {
    fs::remove_all(own);
    if (!taker.takeFirst()) {
      continue;
    }
    EXPECT_EQ(files.FallbackFolder(), L"") << taker.szWhat;
    EXPECT_TRUE(fs::is_empty(elsewhere)) << taker.szWhat;
  }
}

}  // namespace

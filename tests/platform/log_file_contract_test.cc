// The log file as the add-in writes it, through the real set-up and the platform's own log
// backend (log4cpp on Linux, the Win32 backend on Windows): the same folder rules, the same
// lines, the same rolling, checked the same way on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "settings/logging.h"
#include "tests/platform/native_adapters.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

// Runs the set-up through the process-wide accessors as the add-in does, with the
// application data folder inside a temporary folder.
class LogFileContractTest : public ::testing::Test {
 protected:
  void SetUp() override { Wire(m_files); }
  void TearDown() override { SetPlatform(Platform{}); }

  void Wire(IFileSystem& files) {
    Platform platform;
    platform.pFileSystem = &files;
    platform.pLogBackend = m_backend.pBackend.get();
    SetPlatform(platform);
  }

  fs::path LogFolder() const { return fs::path(m_temp.Path()) / "data/Morvane/Zenlet/Logs"; }

  CTempFolder m_temp;
  CRedirectedFileSystem m_files{Utf8ToWide(m_temp.Path() + "/data")};
  NativeLogBackend m_backend = MakeNativeLogBackend();
};

TEST_F(LogFileContractTest, ASecondSetUpWritesEveryLineOnce) {
  SetUpLogging();
  SetUpLogging();
  GetLogger("otc").debug("oc: 1 %s", "0.1.0.32");
  GetLogger("fap").error("%s failed. NULL.", "hr: ioa");

  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  EXPECT_EQ(Occurrences(log, "oc: 1 0.1.0.32"), 1) << log;
  EXPECT_EQ(Occurrences(log, "hr: ioa failed. NULL."), 1) << log;
}

TEST_F(LogFileContractTest, LinesFollowThePatternLayout) {
  SetUpLogging();
  GetLogger("fbr").debug("cm: it %f", 1.5);
  GetLogger("fap").error("hr: hqia failed. 0x%lx", 12002ul);
  GetLogger("otc").debug("oc: 2 %d %ls 0.1.0.32", 11, L"11.0.0.8312");

  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  const std::string end = m_backend.strLineEnd == "\n" ? "\\n" : "\\r\\n";
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3})";
  const std::vector<std::string> lines = {
      stamp + R"( \[fbr\] \[[^\]]+\] DEBUG fbr  - cm: it 1\.500000)" + end,
      stamp + R"( \[fap\] \[[^\]]+\] ERROR fap  - hr: hqia failed\. 0x2ee2)" + end,
      stamp + R"( \[otc\] \[[^\]]+\] DEBUG otc  - oc: 2 11 11\.0\.0\.8312 0\.1\.0\.32)" + end};
  std::string expected = "^";
  for (const std::string& line : lines) {
    expected += line;
  }
  EXPECT_TRUE(std::regex_search(log, std::regex(expected + "$"))) << log;
}

TEST_F(LogFileContractTest, ExistingContentIsKeptAcrossStarts) {
  fs::create_directories(LogFolder());
  std::ofstream(LogFolder() / "Zenlet.log", std::ios::binary)
      << "from an earlier Outlook session\n";
  SetUpLogging();
  GetLogger("tec").debug("ini: ec %d", 3);
  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  EXPECT_EQ(log.rfind("from an earlier Outlook session\n", 0), 0u);
  EXPECT_NE(log.find("ini: ec 3"), std::string::npos);
}

TEST_F(LogFileContractTest, RollsOverAtTenMebibytesKeepingFiveBackups) {
  SetUpLogging();
  const std::string filler(1000, 'x');
  CLogger& logger = GetLogger("fap");
  for (int i = 0; i < 70 * 1024; ++i) {  // about 70 MiB: enough for six roll-overs
    logger.debug("line %d %s", i, filler.c_str());
  }
  logger.debug("the last line");
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(LogFolder())) {
    names.push_back(entry.path().filename().string());
    EXPECT_LE(entry.file_size(), 10u * 1024 * 1024 + 2048) << entry.path();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Zenlet.log", "Zenlet.log.1", "Zenlet.log.2",
                                             "Zenlet.log.3", "Zenlet.log.4", "Zenlet.log.5"}));
  // The newest lines are in the file itself, and the first backup ends just before them.
  const std::string current = ReadFile(LogFolder() / "Zenlet.log");
  EXPECT_NE(current.find("the last line"), std::string::npos);
  const std::size_t first = current.find(" - line ");
  ASSERT_NE(first, std::string::npos);
  const int firstNumber = std::stoi(current.substr(first + 8));
  const std::string previous = ReadFile(LogFolder() / "Zenlet.log.1");
  EXPECT_NE(previous.find(" - line " + std::to_string(firstNumber - 1) + " "), std::string::npos);
  EXPECT_EQ(previous.find(" - line " + std::to_string(firstNumber) + " "), std::string::npos);
}

TEST_F(LogFileContractTest, AFolderThatCannotBeMadeLeavesTheAddInLoggingNowhere) {
  std::ofstream(m_temp.Path() + "/blocker") << "a file where a folder should be";
  CRedirectedFileSystem blocked(Utf8ToWide(m_temp.Path() + "/blocker"));
  Wire(blocked);
  SetUpLogging();
  GetLogger("otc").debug("oc: 1 0.1.0.32");
  EXPECT_FALSE(fs::exists(m_temp.Path() + "/blocker/Morvane"));
}

// The platform's own application data folder, as the add-in finds it without redirection.
TEST_F(LogFileContractTest, TheLogLiesInTheUsersApplicationDataFolder) {
  CScopedEnvironment dataHome("XDG_DATA_HOME", (m_temp.Path() + "/home-data").c_str());
  std::unique_ptr<IFileSystem> files = MakeNativeFileSystem();
  const std::wstring appData = files->LocalAppDataFolder();
  ASSERT_TRUE(IsAbsoluteNativePath(appData));
  const std::wstring separator(1, files->Separator());
  EXPECT_EQ(GetLogFolder(*files), appData + separator + L"Morvane" + separator + L"Zenlet" +
                                      separator + L"Logs" + separator);
  EXPECT_TRUE(files->Exists(GetLogFolder(*files)));
}

}  // namespace

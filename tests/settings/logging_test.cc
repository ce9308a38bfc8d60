#include "settings/logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/process_instance.h"
#include "common/text.h"
#include "platform/log4cpp/log4cpp_backend.h"
#include "platform/platform.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_platform.h"
#include "settings/options.h"
#include "tests/support/file_contents.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/recording_log_backend.h"
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

// Runs the real set-up (log4cpp, POSIX folders) with the application data folder inside a
// temporary folder, through the process-wide accessors as the add-in uses them.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Platform platform;
    platform.pFileSystem = &m_files;
    platform.pLogBackend = &m_backend;
    SetPlatform(platform);
  }
  void TearDown() override { SetPlatform(Platform{}); }

  fs::path LogFolder() const { return fs::path(m_temp.Path()) / "data/Morvane/Zenlet/Logs"; }

  CTempFolder m_temp;
  CScopedEnvironment m_dataHome{"XDG_DATA_HOME", (m_temp.Path() + "/data").c_str()};
  CPosixFileSystem m_files;
  CLog4cppBackend m_backend;
};

TEST_F(LogFileTest, ASecondSetUpWritesEveryLineOnce) {
  SetUpLogging();
  SetUpLogging();
  GetLogger("otc").debug("oc: 1 %s", "0.1.0.32");
  GetLogger("fap").error("%s failed. NULL.", "hr: ioa");

  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  EXPECT_EQ(Occurrences(log, "oc: 1 0.1.0.32"), 1) << log;
  EXPECT_EQ(Occurrences(log, "hr: ioa failed. NULL."), 1) << log;
}

TEST_F(LogFileTest, LinesFollowThePatternLayout) {
  SetUpLogging();
  GetLogger("fbr").debug("cm: it %f", 1.5);
  GetLogger("fap").error("hr: hqia failed. 0x%lx", 12002ul);

  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  const std::regex debugLine(
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3} \[fbr\] \[[^\]]+\] DEBUG fbr  - cm: it 1\.500000\n)");
  const std::regex errorLine(
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3} \[fap\] \[[^\]]+\] ERROR fap  - hr: hqia failed\. 0x2ee2\n)");
  EXPECT_TRUE(std::regex_search(log, debugLine)) << log;
  EXPECT_TRUE(std::regex_search(log, errorLine)) << log;
}

TEST_F(LogFileTest, ExistingContentIsKeptAcrossStarts) {
  fs::create_directories(LogFolder());
  std::ofstream(LogFolder() / "Zenlet.log") << "from an earlier Outlook session\n";
  SetUpLogging();
  GetLogger("tec").debug("ini: ec %d", 3);
  const std::string log = ReadFile(LogFolder() / "Zenlet.log");
  EXPECT_EQ(log.rfind("from an earlier Outlook session\n", 0), 0u);
  EXPECT_NE(log.find("ini: ec 3"), std::string::npos);
}

TEST_F(LogFileTest, RollsOverAtTenMebibytesKeepingFiveBackups) {
  SetUpLogging();
  const std::string filler(1000, 'x');
  CLogger& logger = GetLogger("fap");
  for (int i = 0; i < 70 * 1024; ++i) {  // about 70 MiB: enough for six roll-overs
    logger.debug("line %d %s", i, filler.c_str());
  }
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(LogFolder())) {
    names.push_back(entry.path().filename().string());
    EXPECT_LE(entry.file_size(), 10u * 1024 * 1024 + 2048) << entry.path();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Zenlet.log", "Zenlet.log.1", "Zenlet.log.2",
                                             "Zenlet.log.3", "Zenlet.log.4", "Zenlet.log.5"}));
}

TEST_F(LogFileTest, AFolderThatCannotBeMadeLeavesTheAddInLoggingNowhere) {
  std::ofstream(m_temp.Path() + "/blocker") << "a file where a folder should be";
  CScopedEnvironment blocked("XDG_DATA_HOME", (m_temp.Path() + "/blocker").c_str());
  SetUpLogging();
  GetLogger("otc").debug("oc: 1 0.1.0.32");
  EXPECT_FALSE(fs::exists(m_temp.Path() + "/blocker/Morvane"));
}

// At start-up the store was read for "DebugLog" before the log file was set up, so the line
// about a damaged store went nowhere, and the options then read as defaults in silence until
// a save moved the file aside.
TEST(StartUpTest, ADamagedStoreIsReportedInTheLogFileAndTheNextSaveSucceeds) {
  CTempFolder temp;
  CScopedEnvironment config("XDG_CONFIG_HOME", (temp.Path() + "/config").c_str());
  CScopedEnvironment data("XDG_DATA_HOME", (temp.Path() + "/data").c_str());
  const fs::path folder = fs::path(temp.Path()) / "config/Morvane/Zenlet";
  const fs::path logFile = fs::path(temp.Path()) / "data/Morvane/Zenlet/Logs/Zenlet.log";
  fs::create_directories(folder);
  std::ofstream(folder / "settings.db") << "not a store at all";

  {
    // The add-in's start-up order: the log first, then the options.
    CPosixPlatform posix;
    const Platform platform = posix.Bundle();
    SetPlatform(platform);
    SetUpLogging();
    CFBOpts options(platform.pRegistry, platform.pProtector, &GetLogger("opt"));
    CProcessInstance<CFBOpts> wiring(options);
    GetOptions();

    const std::vector<std::string> copies = EntriesStartingWith(folder, "settings.db.damaged-");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFile(copies[0]), "not a store at all");
    const std::string log = ReadFile(logFile);
    EXPECT_EQ(Occurrences(log, "\n"), 1) << log;
    EXPECT_EQ(Occurrences(log, "moved aside to " + copies[0]), 1) << log;

    GetOptions()->m_dwStatusFieldWidth = 420;
    EXPECT_EQ(GetOptions()->Save(), kRegOk);
    EXPECT_EQ(ReadFile(logFile), log) << "nothing more to say";
    SetPlatform(Platform{});
  }

  CPosixPlatform later;
  CFBOpts reloaded(later.Bundle().pRegistry, later.Bundle().pProtector, nullptr);
  EXPECT_EQ(reloaded.Load(), kRegOk);
  EXPECT_EQ(reloaded.m_dwStatusFieldWidth, 420u);
  EXPECT_EQ(EntriesStartingWith(folder, "settings.db.damaged-").size(), 1u);
}

TEST(LoggerTest, ANameGivesTheSameLoggerEveryTime) {
  EXPECT_EQ(&GetLogger("fap"), &GetLogger("fap"));
  EXPECT_NE(&GetLogger("fap"), &GetLogger("fbr"));
  EXPECT_EQ(&GetLogger(nullptr), &GetLogger(""));
  EXPECT_EQ(GetLogger("tec").Category(), "tec");
}

TEST(LoggerTest, LongMessagesAreWrittenWholeAndNothingGoesWithoutABackend) {
  CRecordingLogBackend backend;
  CLogger logger("fap", &backend);
  const std::string body(5000, 'b');
  logger.debug("hr: response: %s", body.c_str());
  logger.error("gs: eat");
  const std::vector<LoggedLine> lines = backend.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].strMessage, "hr: response: " + body);
  EXPECT_EQ(lines[0].ePriority, LogPriority::kDebug);
  EXPECT_EQ(lines[1].strCategory, "fap");
  EXPECT_EQ(lines[1].ePriority, LogPriority::kError);

  CLogger silent("fap", nullptr);
  silent.error("dropped");  // must not crash
}

TEST(LogFolderTest, WindowsFoldersAreCreatedLevelByLevel) {
  CInMemoryFileSystem files(L"c:\\Users\\ann\\AppData\\Local", L"c:\\", L'\\',
                            {L"c:", L"c:\\Users", L"c:\\Users\\ann", L"c:\\Users\\ann\\AppData",
                             L"c:\\Users\\ann\\AppData\\Local"});
  CRecordingLogBackend backend;
  const std::wstring path = SetUpLogging(files, nullptr, backend);

  EXPECT_EQ(path, L"c:\\Users\\ann\\AppData\\Local\\Morvane\\Zenlet\\Logs\\Zenlet.log");
  EXPECT_TRUE(files.Exists(L"c:\\Users\\ann\\AppData\\Local\\Morvane\\Zenlet\\Logs"));
  const std::vector<std::wstring> attempts = files.CreateAttempts();
  ASSERT_GE(attempts.size(), 3u);
  EXPECT_EQ(attempts[attempts.size() - 3], L"c:\\Users\\ann\\AppData\\Local\\Morvane");
  EXPECT_EQ(attempts[attempts.size() - 2], L"c:\\Users\\ann\\AppData\\Local\\Morvane\\Zenlet");
  EXPECT_EQ(attempts.back(), L"c:\\Users\\ann\\AppData\\Local\\Morvane\\Zenlet\\Logs");

  const std::vector<LogFileSettings> configurations = backend.Configurations();
  ASSERT_EQ(configurations.size(), 1u);
  EXPECT_EQ(configurations[0].strFileName, WideToAnsi(path));
  EXPECT_EQ(configurations[0].strAppenderName, "default");
  EXPECT_EQ(configurations[0].nMaxFileSize, 10485760u);
  EXPECT_EQ(configurations[0].nBackupCount, 5u);
  EXPECT_TRUE(configurations[0].bAppend);
  EXPECT_EQ(configurations[0].nFileMode, 0644u);
  EXPECT_EQ(configurations[0].strPattern, "%d [%c] [%t] %p %c %x - %m%n");
  EXPECT_EQ(configurations[0].eRootPriority, LogPriority::kDebug);
}

TEST(LogFolderTest, WithoutAnApplicationDataFolderTheFallbackHoldsTheLogs) {
  CInMemoryFileSystem windows(L"", L"c:\\", L'\\', {L"c:"});
  CRecordingLogBackend backend;
  EXPECT_EQ(SetUpLogging(windows, nullptr, backend), L"c:\\Logs\\Zenlet.log");
  EXPECT_TRUE(windows.Exists(L"c:\\Logs"));

  CInMemoryFileSystem posix(L"", L"/tmp/Zenlet-1000/", L'/', {L"/tmp", L"/tmp/Zenlet-1000"});
  EXPECT_EQ(SetUpLogging(posix, nullptr, backend), L"/tmp/Zenlet-1000/Logs/Zenlet.log");

  // No fallback that is safe to use: the log has no file, and nothing is made anywhere.
  CInMemoryFileSystem none(L"", L"", L'/', {});
  EXPECT_EQ(SetUpLogging(none, nullptr, backend), L"");
  EXPECT_TRUE(none.CreateAttempts().empty());
  EXPECT_EQ(backend.Configurations().back().strFileName, "");
}

TEST(LogFolderTest, BothSeparatorsCountOnWindowsAndTheLaterOneWins) {
  CInMemoryFileSystem files(L"", L"c:\\", L'\\', {L"c:"});
  EnsureFolderExists(files, L"c:\\one/two\\file.txt");
  EXPECT_TRUE(files.Exists(L"c:\\one/two"));
  EnsureFolderExists(files, L"nofolder.txt");
  EXPECT_EQ(files.CreateAttempts().size(), 3u);  // c:, c:\one, c:\one/two; nothing more
}

TEST(DebugLogSwitchTest, IsReadFromTheOptionsKeyAndOnlyAFourByteNonZeroValueSetsIt) {
  CInMemoryFileSystem files(L"", L"/tmp/", L'/', {L"/tmp"});
  CRecordingLogBackend backend;
  CInMemoryRegistry registry;
  SetUpLogging(files, &registry, backend);
  EXPECT_FALSE(IsDebugLogSwitchOn()) << "no key at all";

  std::unique_ptr<IRegistryKey> key;
  ASSERT_EQ(registry.CreateKey(RegistryRoot::kCurrentUser,
                               L"Software\\Morvane.com\\Zenlet\\Options", &key),
            kRegOk);
  const struct {
    std::vector<std::uint8_t> aData;
    bool bOn;
  } cases[] = {{{1, 0, 0, 0}, true},
               {{0, 0, 0, 0}, false},
               {{0, 0, 0, 0x80}, true},
               {{1, 0}, false},
               {{1, 0, 0, 0, 0}, false}};
  for (const auto& value : cases) {
    ASSERT_EQ(key->SetValue(L"DebugLog", kRegDword, value.aData.data(),
                            static_cast<std::uint32_t>(value.aData.size())),
              kRegOk);
    SetUpLogging(files, &registry, backend);
    EXPECT_EQ(IsDebugLogSwitchOn(), value.bOn) << value.aData.size();
  }
  EXPECT_EQ(backend.Configurations().back().eRootPriority, LogPriority::kDebug)
      << "the switch never lowers what is logged";
}

}  // namespace

#include "settings/logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/process_instance.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "settings/options.h"
#include "tests/support/file_contents.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

int Occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
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
    EXPECT_EQ(ReadWholeFile(copies[0]), "not a store at all");
    const std::string log = ReadWholeFile(logFile);
    EXPECT_EQ(Occurrences(log, "\n"), 1) << log;
    EXPECT_EQ(Occurrences(log, "moved aside to " + copies[0]), 1) << log;

    GetOptions()->m_dwStatusFieldWidth = 420;
    EXPECT_EQ(GetOptions()->Save(), kRegOk);
    EXPECT_EQ(ReadWholeFile(logFile), log) << "nothing more to say";
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

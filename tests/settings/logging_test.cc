#include "settings/logging.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/platform.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace {

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

  CInMemoryFileSystem posix(L"", L"/tmp/", L'/', {L"/tmp"});
  EXPECT_EQ(SetUpLogging(posix, nullptr, backend), L"/tmp/Logs/Zenlet.log");
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

#include "platform/sqlite/sqlite_registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "common/logger.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "tests/support/file_contents.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr const wchar_t* kOptions = L"Software\\Morvane.com\\Zenlet\\Options";

std::vector<fs::path> DamagedCopies(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("settings.db.damaged-", 0) == 0) {
      found.push_back(entry.path());
    }
  }
  return found;
}

class SqliteRegistryTest : public ::testing::Test {
 protected:
  std::unique_ptr<CSqliteRegistry> Make() {
    return std::make_unique<CSqliteRegistry>(m_store.string(), m_logger);
  }

  // One save as the options make it: a batch with one value.
  RegistryStatus SaveValue(IRegistry& registry, std::uint32_t value) {
    std::unique_ptr<IRegistryWriteBatch> batch = registry.BeginWriteBatch();
    std::unique_ptr<IRegistryKey> key;
    RegistryStatus status = registry.CreateKey(kUser, kOptions, &key);
    if (status == kRegOk) {
      status = key->SetValue(L"TRI", kRegDword, reinterpret_cast<std::uint8_t*>(&value), 4);
    }
    return status == kRegOk ? batch->Commit() : status;
  }

  std::uint32_t ReadValue(IRegistry& registry) {
    std::unique_ptr<IRegistryKey> key;
    std::uint32_t value = 0xFFFFFFFF;
    std::uint32_t size = 4;
    if (registry.OpenKey(kUser, kOptions, &key) == kRegOk) {
      key->QueryValue(L"TRI", nullptr, reinterpret_cast<std::uint8_t*>(&value), &size);
    }
    return value;
  }

  CTempFolder m_temp;
  fs::path m_folder = fs::path(m_temp.Path()) / "config/Morvane/Zenlet";
  fs::path m_store = m_folder / "settings.db";
  CRecordingLogBackend m_backend;
  CLogger m_logger{"opt", &m_backend};
};

TEST_F(SqliteRegistryTest, ReadingMakesNothingAndTheFirstWriteMakesPrivateFiles) {
  std::unique_ptr<CSqliteRegistry> registry = Make();
  std::unique_ptr<IRegistryKey> key;
  EXPECT_EQ(registry->OpenKey(kUser, kOptions, &key), kRegFileNotFound);
  EXPECT_FALSE(fs::exists(m_temp.Path() + "/config"));

  ASSERT_EQ(SaveValue(*registry, 42), kRegOk);
  EXPECT_EQ(FileMode(m_temp.Path() + "/config"), 0700u);
  EXPECT_EQ(FileMode(m_folder), 0700u);
  EXPECT_EQ(FileMode(m_store), 0600u);
  EXPECT_EQ(ReadValue(*Make()), 42u);
  EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 0);
}

// A store damaged on disk used to be written over at the next save, losing whatever it
// still held; it must read as defaults and then be moved aside whole.
TEST_F(SqliteRegistryTest, ADamagedStoreReadsAsEmptyAndIsMovedAsideAtTheNextSave) {
  const auto garbage = [this] {
    std::ofstream(m_store, std::ios::binary) << "these are not the options you are looking for";
  };
  const auto brokenPage = [this] {
    ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);
    std::fstream file(m_store, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(4096 + 8);
    file << std::string(2000, '\x5A');
  };
  const auto otherProgram = [this] {  // a sound SQLite file whose tables are not ours
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
  };
  const auto folderInItsPlace = [this] { fs::create_directories(m_store / "inside"); };

  int variant = 0;
  for (const std::function<void()>& damage :
       {std::function<void()>(garbage), std::function<void()>(brokenPage),
        std::function<void()>(otherProgram), std::function<void()>(folderInItsPlace)}) {
    SCOPED_TRACE(variant++);
    fs::remove_all(m_temp.Path() + "/config");
    fs::create_directories(m_folder);
    damage();
    const bool isFolder = fs::is_directory(m_store);
    const std::string before = isFolder ? std::string() : ReadWholeFile(m_store);
    m_backend.Clear();

    std::unique_ptr<CSqliteRegistry> registry = Make();
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(registry->OpenKey(kUser, kOptions, &key), kRegBadDatabase);
    EXPECT_EQ(registry->OpenKey(kUser, kOptions, &key), kRegBadDatabase);
    EXPECT_EQ(m_backend.Count(LogPriority::kError, "is damaged"), 1);
    EXPECT_TRUE(DamagedCopies(m_folder).empty()) << "reading must not move the file";

    ASSERT_EQ(SaveValue(*registry, 7), kRegOk);
    const std::vector<fs::path> copies = DamagedCopies(m_folder);
    ASSERT_EQ(copies.size(), 1u);
    if (isFolder) {
      EXPECT_TRUE(fs::exists(copies[0] / "inside"));
    } else {
      EXPECT_EQ(ReadWholeFile(copies[0]), before);
    }
    EXPECT_EQ(m_backend.Count(LogPriority::kError, "damaged store moved aside to"), 1);
    EXPECT_EQ(ReadValue(*registry), 7u);
    EXPECT_EQ(ReadValue(*Make()), 7u);
    ASSERT_EQ(SaveValue(*Make(), 8), kRegOk);
    EXPECT_EQ(DamagedCopies(m_folder).size(), 1u);
  }
}

TEST_F(SqliteRegistryTest, AMovedAsideStoreNeverReplacesAnEarlierOne) {
  fs::create_directories(m_folder);
  for (int round = 0; round < 3; ++round) {
    std::ofstream(m_store, std::ios::binary) << "damage number " << round;
    ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);  // found damaged by the save itself
    fs::remove(m_store);
  }
  std::set<std::string> contents;
  for (const fs::path& copy : DamagedCopies(m_folder)) {
    contents.insert(ReadWholeFile(copy));
  }
  EXPECT_EQ(contents,
            (std::set<std::string>{"damage number 0", "damage number 1", "damage number 2"}));
}

TEST(UserStoreTest, TheStoreAndItsKeyLieInTheUsersConfigurationFolder) {
  {
    CScopedEnvironment config("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(CSqliteRegistry::DefaultPath(), "/srv/conf/Morvane/Zenlet/settings.db");
    EXPECT_EQ(CAesGcmDataProtector::DefaultKeyPath(), "/srv/conf/Morvane/Zenlet/protection.key");
  }
  CScopedEnvironment home("HOME", "/home/ann");
  for (const char* config : {static_cast<const char*>(nullptr), "relative/conf"}) {
    CScopedEnvironment unset("XDG_CONFIG_HOME", config);
    EXPECT_EQ(CSqliteRegistry::DefaultPath(), "/home/ann/.config/Morvane/Zenlet/settings.db");
  }
}

}  // namespace

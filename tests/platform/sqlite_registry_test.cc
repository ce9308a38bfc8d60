#include "platform/sqlite/sqlite_registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
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
  const std::vector<std::string> found = EntriesStartingWith(folder, "settings.db.damaged-");
  return std::vector<fs::path>(found.begin(), found.end());
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

  // Runs `sql` on the store through a connection of its own, as another program would.
  void Execute(const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  // Exactly one error line was written, and it names where the damaged file went.
  void ExpectOneLineNaming(const fs::path& copy) {
    EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 1);
    EXPECT_EQ(m_backend.Count(LogPriority::kError, "moved aside to " + copy.string()), 1);
  }

  // Opens a new registry over the damaged store: the first read finds the damage and moves
  // the file aside with one line. The one copy made, or an empty path.
  fs::path ExpectDamageFoundByTheFirstRead(std::unique_ptr<CSqliteRegistry>* registry) {
    *registry = Make();
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ((*registry)->OpenKey(kUser, kOptions, &key), kRegBadDatabase);
    const std::vector<fs::path> copies = DamagedCopies(m_folder);
    EXPECT_EQ(copies.size(), 1u);
    if (copies.size() != 1) {
      return {};
    }
    ExpectOneLineNaming(copies[0]);
    return copies[0];
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
// still held; later it was moved aside only by that save, after a line written at start-up
// before the log file existed. It must be moved aside whole as soon as it is found, with one
// line naming where it went, and the next save must start a fresh store.
TEST_F(SqliteRegistryTest, ADamagedStoreIsMovedAsideWhenFoundAndTheNextSaveStartsAFreshOne) {
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
  const auto noRootKey = [this] {
    ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);
    Execute("DELETE FROM registry_keys WHERE id = 1");
  };
  const auto folderInItsPlace = [this] { fs::create_directories(m_store / "inside"); };
  // A header naming a schema format SQLite does not know made SQLite answer "unsupported file
  // format", which was taken for a passing read fault: the file was neither read nor moved
  // aside, and every save failed for good.
  const auto unknownSchemaFormat = [this] {
    ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);
    std::fstream file(m_store, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(44);  // the schema format number
    file << std::string(4, '\xCF');
  };
  // A header asking for a newer writer (its write version byte changed) made SQLite open the
  // file read-only without a word: it read, but every save failed with "attempt to write a
  // readonly database", for good, and the file was never moved aside.
  const auto unknownWriteVersion = [this] {
    ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);
    std::fstream file(m_store, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(18);  // the file format write version
    file << '\x07';
  };
  // A byte changed in the key of one value's record (the folded "FBUN" of the options made
  // "FBSS") passed SQLite's quick check: the save of the session secret then replaced one of
  // the two rows under that key and the next read found the other, so the user was logged out
  // at every start.
  const auto valueKeyOutOfOrder = [this] {
    {
      std::unique_ptr<CSqliteRegistry> registry = Make();
      std::unique_ptr<IRegistryKey> key;
      ASSERT_EQ(registry->CreateKey(kUser, kOptions, &key), kRegOk);
      const std::vector<std::uint8_t> sealed(170, '4');
      for (const wchar_t* name : {L"TRI", L"TL", L"TP", L"FBSK", L"FBSS", L"FBUID", L"FBUN"}) {
        ASSERT_EQ(key->SetValue(name, kRegSz, sealed.data(), 170), kRegOk);
      }
    }
    std::string bytes = ReadWholeFile(m_store);
    const std::size_t at = bytes.find("FBUNFBUN");  // the folded name, then the name
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "FBSS");
    std::ofstream(m_store, std::ios::binary | std::ios::trunc) << bytes;
  };

  int variant = 0;
  for (const std::function<void()>& damage :
       {std::function<void()>(garbage), std::function<void()>(brokenPage),
        std::function<void()>(otherProgram), std::function<void()>(noRootKey),
        std::function<void()>(folderInItsPlace), std::function<void()>(unknownSchemaFormat),
        std::function<void()>(unknownWriteVersion), std::function<void()>(valueKeyOutOfOrder)}) {
    SCOPED_TRACE(variant++);
    fs::remove_all(m_temp.Path() + "/config");
    fs::create_directories(m_folder);
    damage();
    const bool isFolder = fs::is_directory(m_store);
    const std::string before = isFolder ? std::string() : ReadWholeFile(m_store);
    m_backend.Clear();

    std::unique_ptr<CSqliteRegistry> registry;
    const fs::path copy = ExpectDamageFoundByTheFirstRead(&registry);
    ASSERT_FALSE(copy.empty());
    if (isFolder) {
      EXPECT_TRUE(fs::exists(copy / "inside"));
    } else {
      EXPECT_EQ(ReadWholeFile(copy), before);
    }
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(registry->OpenKey(kUser, kOptions, &key), kRegFileNotFound) << "nothing left";

    ASSERT_EQ(SaveValue(*registry, 7), kRegOk);
    EXPECT_EQ(ReadValue(*registry), 7u);
    EXPECT_EQ(ReadValue(*Make()), 7u);
    ASSERT_EQ(SaveValue(*Make(), 8), kRegOk);
    EXPECT_EQ(DamagedCopies(m_folder).size(), 1u);
    EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 1);
  }
}

// A byte changed inside the store's own table definitions (a column or constraint name)
// passed every check: every read then failed ("no such column") or read nothing, and every
// save failed for ever, without a line in the log.
TEST_F(SqliteRegistryTest, AnyChangedByteOfTheTableDefinitionsIsFoundAndTheNextSaveSucceeds) {
  ASSERT_EQ(SaveValue(*Make(), 1), kRegOk);
  const std::string pristine = ReadWholeFile(m_store);
  // Each definition as SQLite keeps it, from its first byte to its last.
  const std::pair<const char*, const char*> definitions[] = {
      {"CREATE TABLE registry_keys(", "folded))"},
      {"CREATE TABLE registry_values(", "WITHOUT ROWID"}};
  std::vector<std::size_t> positions;
  for (const auto& [first, last] : definitions) {
    const std::size_t start = pristine.find(first);
    ASSERT_NE(start, std::string::npos) << first;
    const std::size_t end = pristine.find(last, start) + std::strlen(last);
    for (std::size_t at = start; at < end; ++at) {
      positions.push_back(at);
    }
  }
  ASSERT_GT(positions.size(), 200u);
  for (const std::size_t at : positions) {
    SCOPED_TRACE("byte " + std::to_string(at) + " '" + pristine[at] + "'");
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
    std::string changed = pristine;
    changed[at] = changed[at] == 'x' ? 'y' : 'x';
    std::ofstream(m_store, std::ios::binary) << changed;
    m_backend.Clear();

    std::unique_ptr<CSqliteRegistry> registry;
    ASSERT_FALSE(ExpectDamageFoundByTheFirstRead(&registry).empty());
    ASSERT_EQ(SaveValue(*registry, static_cast<std::uint32_t>(at)), kRegOk);
    EXPECT_EQ(ReadValue(*Make()), at);
  }
}

// A store whose tables another program changed while this one had it open used to fail every
// later read and save with "no such column".
TEST_F(SqliteRegistryTest, TablesChangedWhileOpenAreDamageFoundByTheNextRead) {
  std::unique_ptr<CSqliteRegistry> registry = Make();
  ASSERT_EQ(SaveValue(*registry, 3), kRegOk);
  ASSERT_EQ(ReadValue(*registry), 3u);
  Execute("ALTER TABLE registry_values RENAME COLUMN folded TO fold");
  m_backend.Clear();

  EXPECT_EQ(ReadValue(*registry), 0xFFFFFFFFu);
  const std::vector<fs::path> copies = DamagedCopies(m_folder);
  ASSERT_EQ(copies.size(), 1u);
  ExpectOneLineNaming(copies[0]);
  ASSERT_EQ(SaveValue(*registry, 4), kRegOk);
  EXPECT_EQ(ReadValue(*registry), 4u);
  EXPECT_EQ(ReadValue(*Make()), 4u);
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

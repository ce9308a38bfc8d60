#include "platform/sqlite/sqlite_registry.h"

#include <errno.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "common/logger.h"
#include "common/text.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/private_files.h"

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kFormatVersion = 1;
constexpr sqlite3_int64 kNoKey = 0;
constexpr sqlite3_int64 kCurrentUserKey = 1;

// Keys form a tree through `parent` (0 above the roots); names compare in their folded form.
// The format version is the database's user_version.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS registry_keys("
    "  id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    "  folded TEXT NOT NULL, UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS registry_values("
    "  key_id INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key_id, folded)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO registry_keys(id, parent, name, folded)"
    "  VALUES(1, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');"
    "PRAGMA user_version = 1;";

sqlite3_int64 RootKey(RegistryRoot) {
  return kCurrentUserKey;
}

// One prepared statement, finalized when it goes.
class CStatement {
 public:
  CStatement(sqlite3* db, const char* sql) {
    m_nStatus = sqlite3_prepare_v2(db, sql, -1, &m_pStatement, nullptr);
  }
  ~CStatement() { sqlite3_finalize(m_pStatement); }
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;

  CStatement& Bind(sqlite3_int64 value) {
    Check(sqlite3_bind_int64(m_pStatement, ++m_nBound, value));
    return *this;
  }
  CStatement& Bind(const std::string& text) {
    Check(sqlite3_bind_text(m_pStatement, ++m_nBound, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  CStatement& Bind(const std::uint8_t* data, std::uint32_t size) {
    Check(size == 0 ? sqlite3_bind_zeroblob(m_pStatement, ++m_nBound, 0)
                    : sqlite3_bind_blob64(m_pStatement, ++m_nBound, data, size, SQLITE_TRANSIENT));
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE or the failure (of preparing or binding, too).
  int Step() { return m_nStatus != SQLITE_OK ? m_nStatus : sqlite3_step(m_pStatement); }

  // False when the statement could not even be prepared: our fixed SQL then names a table or
  // column that the file does not have.
  bool IsPrepared() const { return m_pStatement != nullptr; }

  sqlite3_int64 Integer(int column) { return sqlite3_column_int64(m_pStatement, column); }
  std::string Text(int column) {
    const unsigned char* text = sqlite3_column_text(m_pStatement, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
  }
  std::vector<std::uint8_t> Blob(int column) {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_pStatement, column));
    const int size = sqlite3_column_bytes(m_pStatement, column);
    return data != nullptr ? std::vector<std::uint8_t>(data, data + size)
                           : std::vector<std::uint8_t>();
  }

 private:
  void Check(int status) {
    if (m_nStatus == SQLITE_OK) {
      m_nStatus = status;
    }
  }

  sqlite3_stmt* m_pStatement = nullptr;
  int m_nStatus = SQLITE_OK;
  int m_nBound = 0;
};

std::string Folded(const std::wstring& name) {
  return WideToUtf8(FoldRegistryName(name));
}

// The schema entries of `db` (type, name, table and SQL of each, in one text apiece), as
// SQLite keeps them in sqlite_master.
int ReadSchema(sqlite3* db, std::vector<std::string>* entries) {
  CStatement list(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
  int status = SQLITE_OK;
  while ((status = list.Step()) == SQLITE_ROW) {
    entries->push_back(list.Text(0) + '\n' + list.Text(1) + '\n' + list.Text(2) + '\n' +
                       list.Text(3));
  }
  return status == SQLITE_DONE ? SQLITE_OK : status;
}

// Our schema's entries as this SQLite writes them, made once in memory. Empty when that
// failed; the check is then left out rather than taking a sound store for a damaged one.
const std::vector<std::string>& OwnSchema() {
  static const std::vector<std::string> entries = [] {
    std::vector<std::string> made;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK ||
        ReadSchema(db, &made) != SQLITE_OK) {
      made.clear();
    }
    sqlite3_close_v2(db);
    return made;
  }();
  return entries;
}

}  // namespace

// The connection to one store file, shared by the registry, its keys and its batches. Every
// call holds `m_mutex`; an open batch holds it for its whole life.
class CSqliteStore {
 public:
  CSqliteStore(std::string path, CLogger& logger) : m_strPath(std::move(path)), m_logger(logger) {}
  ~CSqliteStore() { Close(); }

  std::recursive_mutex m_mutex;

  // Runs `read` once the store can be read; a store without keys yet gives kRegFileNotFound.
  template <typename Reader>
  RegistryStatus Read(Reader read) {
    RegistryStatus status = Open(false);
    if (status == kRegOk) {
      status = HasSchema();
    }
    return status == kRegOk ? read() : status;
  }

  // A write refused before it reached the store still fails the batch around it.
  RegistryStatus Refuse(RegistryStatus status) {
    if (m_nBatchDepth > 0 && m_nBatchStatus == kRegOk) {
      m_nBatchStatus = status;
    }
    return status;
  }

  // Runs `write` once the store can be written; a failure inside a batch fails the batch.
  template <typename Writer>
  RegistryStatus Write(Writer write) {
    if (m_nBatchDepth > 0 && m_nBatchStatus != kRegOk) {
      return m_nBatchStatus;
    }
    RegistryStatus status = Open(true);
    if (status == kRegOk) {
      status = write();
    }
    if (status != kRegOk && m_nBatchDepth > 0) {
      m_nBatchStatus = status;
    }
    return status;
  }

  // Follows `names` down from the key `base`, creating missing keys when asked.
  RegistryStatus Resolve(sqlite3_int64 base, const std::vector<std::wstring>& names, bool create,
                         sqlite3_int64* id) {
    if (create && !names.empty()) {
      if (RegistryStatus status = KeyExists(base)) {
        return status;
      }
    }
    *id = base;
    for (const std::wstring& name : names) {
      const std::string folded = Folded(name);
      CStatement find(m_pDb, "SELECT id FROM registry_keys WHERE parent = ? AND folded = ?");
      const int found = find.Bind(*id).Bind(folded).Step();
      if (found == SQLITE_ROW) {
        *id = find.Integer(0);
        continue;
      }
      if (found != SQLITE_DONE) {
        return Failure(found, "find key", !create, &find);
      }
      if (!create) {
        return kRegFileNotFound;
      }
      CStatement insert(m_pDb, "INSERT INTO registry_keys(parent, name, folded) VALUES(?, ?, ?)");
      const int inserted = insert.Bind(*id).Bind(WideToUtf8(name)).Bind(folded).Step();
      if (inserted != SQLITE_DONE) {
        return Failure(inserted, "create key", false, &insert);
      }
      *id = sqlite3_last_insert_rowid(m_pDb);
    }
    return kRegOk;
  }

  RegistryStatus Query(sqlite3_int64 key, const std::wstring& name, std::uint32_t* type,
                       std::vector<std::uint8_t>* data) {
    CStatement query(m_pDb,
                     "SELECT type, data FROM registry_values WHERE key_id = ? AND folded = ?");
    const int status = query.Bind(key).Bind(Folded(name)).Step();
    if (status == SQLITE_DONE) {
      return kRegFileNotFound;
    }
    if (status != SQLITE_ROW) {
      return Failure(status, "read value", true, &query);
    }
    *type = static_cast<std::uint32_t>(query.Integer(0));
    *data = query.Blob(1);
    return kRegOk;
  }

  RegistryStatus Set(sqlite3_int64 key, const std::wstring& name, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t size) {
    if (RegistryStatus status = KeyExists(key)) {
      return status;
    }
    CStatement insert(m_pDb,
                      "INSERT OR REPLACE INTO registry_values(key_id, name, folded, type, data)"
                      " VALUES(?, ?, ?, ?, ?)");
    const int status = insert.Bind(key)
                           .Bind(WideToUtf8(name))
                           .Bind(Folded(name))
                           .Bind(type)
                           .Bind(data, size)
                           .Step();
    return status == SQLITE_DONE ? kRegOk : Failure(status, "write value", false, &insert);
  }

  void BeginBatch() {
    if (m_nBatchDepth++ > 0) {
      return;
    }
    m_nBatchStatus = Open(true);
    if (m_nBatchStatus == kRegOk) {
      const int status = Execute("BEGIN IMMEDIATE");
      if (status != SQLITE_OK) {
        m_nBatchStatus = Failure(status, "begin batch", false);
      }
    }
  }

  RegistryStatus CommitBatch() {
    if (m_nBatchDepth > 1 || m_nBatchStatus != kRegOk) {
      return m_nBatchStatus;
    }
    const int status = Execute("COMMIT");
    if (status != SQLITE_OK) {
      m_nBatchStatus = Failure(status, "commit batch", false);
      RollBack();
    }
    m_bCommitted = m_nBatchStatus == kRegOk;
    return m_nBatchStatus;
  }

  void EndBatch() {
    if (--m_nBatchDepth > 0) {
      return;
    }
    if (!m_bCommitted) {
      RollBack();
    }
    m_bCommitted = false;
    m_nBatchStatus = kRegOk;
  }

 private:
  // Opens the file once: for reading only if it exists; for writing made when missing, and
  // moved aside first when it was found damaged.
  RegistryStatus Open(bool forWrite) {
    RegistryStatus status = m_pDb != nullptr ? kRegOk : Connect(forWrite);
    if (status == kRegBadDatabase && forWrite) {
      status = Connect(true);  // found damaged just now: move it aside and start afresh
    }
    if (status == kRegOk && forWrite && !m_bSchema) {
      status = CreateSchema();
    }
    return status;
  }

  RegistryStatus Connect(bool forWrite) {
    if (m_bDamaged) {
      if (!forWrite) {
        return kRegBadDatabase;
      }
      if (RegistryStatus status = MoveAside()) {
        return status;
      }
    }
    struct stat info {};
    if (stat(m_strPath.c_str(), &info) != 0) {
      if (errno != ENOENT) {
        m_logger.error("reg: cannot reach the store %s: %s", m_strPath.c_str(),
                       std::strerror(errno));
        return kRegAccessDenied;
      }
      if (!forWrite) {
        return kRegFileNotFound;
      }
      if (RegistryStatus status = CreateFile()) {
        return status;
      }
    }
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(m_strPath.c_str(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
      sqlite3_close_v2(db);
      MarkDamaged(sqlite3_errstr(opened));
      return kRegBadDatabase;
    }
    m_pDb = db;
    sqlite3_busy_timeout(m_pDb, kBusyTimeoutMs);
    sqlite3_extended_result_codes(m_pDb, 1);
    const RegistryStatus status = Check();
    if (status != kRegOk) {
      Close();
    }
    return status;
  }

  // The new file gets the user's permissions only; SQLite gives its journal the same.
  RegistryStatus CreateFile() {
    if (!EnsurePrivateFolder(ParentFolder(m_strPath))) {
      m_logger.error("reg: cannot make the folder of %s: %s", m_strPath.c_str(),
                     std::strerror(errno));
      return kRegAccessDenied;
    }
    const int fd =
        open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
    } else if (errno != EEXIST) {
      m_logger.error("reg: cannot create the store %s: %s", m_strPath.c_str(),
                     std::strerror(errno));
      return kRegAccessDenied;
    }
    return kRegOk;
  }

  // Checks an opened file: empty, or a store of our format that passes SQLite's check.
  RegistryStatus Check() {
    int status = Execute("PRAGMA synchronous = FULL");
    if (status != SQLITE_OK) {
      return CheckFailure(status, "configure");
    }
    // One read transaction, so that another process's first save cannot land between the
    // reads and make a fresh store of ours look like another program's file.
    if ((status = Execute("BEGIN")) != SQLITE_OK) {
      return CheckFailure(status, "check");
    }
    const RegistryStatus checked = CheckContent();
    if (m_pDb != nullptr) {
      Execute("COMMIT");
    }
    return checked;
  }

  RegistryStatus CheckContent() {
    int status = SQLITE_OK;
    sqlite3_int64 version = 0;
    if ((status = Integer("PRAGMA user_version", &version)) != SQLITE_OK) {
      return CheckFailure(status, "read format");
    }
    // SQLite opens a file whose header asks for a newer writer read-only, without a word; ours
    // never asks for one, and every save would fail for good. A file the user made read-only
    // is no damage: its saves fail with a line each.
    if (sqlite3_db_readonly(m_pDb, "main") == 1 && access(m_strPath.c_str(), W_OK) == 0) {
      MarkDamaged("a file format this program cannot write");
      return kRegBadDatabase;
    }
    if (version == 0) {
      sqlite3_int64 tables = 0;
      if ((status = Integer("SELECT count(*) FROM sqlite_master", &tables)) != SQLITE_OK) {
        return CheckFailure(status, "read format");
      }
      if (tables != 0) {
        MarkDamaged("tables of another program");
        return kRegBadDatabase;
      }
      m_bSchema = false;
      return kRegOk;
    }
    if (version != kFormatVersion) {
      MarkDamaged(("unknown format " + std::to_string(version)).c_str());
      return kRegBadDatabase;
    }
    // The full check, for the first fault only: the quick one passes a record whose key a
    // changed byte has put out of order, which leaves a save and the next read finding two
    // different rows for one value. The store is small enough for the full one at every start.
    CStatement check(m_pDb, "PRAGMA integrity_check(1)");
    status = check.Step();
    if (status != SQLITE_ROW) {
      return CheckFailure(status, "check");
    }
    const std::string verdict = check.Text(0);
    if (verdict != "ok") {
      MarkDamaged(verdict.c_str());
      return kRegBadDatabase;
    }
    return CheckSchema();
  }

  // A changed byte in a table definition passes SQLite's own check but makes every later
  // statement fail or miss, so the definitions must be exactly ours, and the root key there.
  RegistryStatus CheckSchema() {
    std::vector<std::string> entries;
    int status = ReadSchema(m_pDb, &entries);
    if (status != SQLITE_OK) {
      return CheckFailure(status, "read the tables");
    }
    if (!OwnSchema().empty() && entries != OwnSchema()) {
      MarkDamaged("its table definitions are not the store's own");
      return kRegBadDatabase;
    }
    sqlite3_int64 roots = 0;
    status = Integer(
        "SELECT count(*) FROM registry_keys WHERE id = 1 AND parent = 0 AND "
        "folded = 'HKEY_CURRENT_USER'",
        &roots);
    if (status != SQLITE_OK) {
      return CheckFailure(status, "read the root key");
    }
    if (roots != 1) {
      MarkDamaged("the root key is missing");
      return kRegBadDatabase;
    }
    m_bSchema = true;
    return kRegOk;
  }

  RegistryStatus CreateSchema() {
    int status = Execute("BEGIN IMMEDIATE");
    if (status == SQLITE_OK) {
      status = Execute(kSchema);
      status = status == SQLITE_OK ? Execute("COMMIT") : status;
      if (status != SQLITE_OK) {
        RollBack();
      }
    }
    if (status != SQLITE_OK) {
      return Failure(status, "create store", false);
    }
    m_bSchema = true;
    return kRegOk;
  }

  // Another process may have written the first keys since this one opened an empty file.
  RegistryStatus HasSchema() {
    if (m_bSchema) {
      return kRegOk;
    }
    sqlite3_int64 version = 0;
    const int status = Integer("PRAGMA user_version", &version);
    if (status != SQLITE_OK) {
      return Failure(status, "read format", true);
    }
    m_bSchema = version == kFormatVersion;
    return m_bSchema ? kRegOk : kRegFileNotFound;
  }

  RegistryStatus KeyExists(sqlite3_int64 key) {
    CStatement find(m_pDb, "SELECT 1 FROM registry_keys WHERE id = ?");
    const int status = find.Bind(key).Step();
    if (status == SQLITE_ROW) {
      return kRegOk;
    }
    return status == SQLITE_DONE ? kRegFileNotFound : Failure(status, "find key", true, &find);
  }

  // Renames the damaged file (and its journal) to a name not yet taken, unless another
  // process has already done so, and says in one line what was found and where it went.
  RegistryStatus MoveAside() {
    struct stat info {};
    if (stat(m_strPath.c_str(), &info) != 0 || info.st_dev != m_damagedDevice ||
        info.st_ino != m_damagedInode) {
      m_logger.error("reg: the store %s is damaged (%s); another process has moved it aside",
                     m_strPath.c_str(), m_strDamage.c_str());
      m_bDamaged = false;
      return kRegOk;
    }
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof(stamp), "%Y%m%dT%H%M%SZ", &utc);
    const std::string base = m_strPath + ".damaged-" + stamp;
    std::string target = base;
    for (int n = 2; !RenameWithoutReplacing(m_strPath, target); ++n) {
      if (errno != EEXIST || n > 1000) {
        m_logger.error(
            "reg: the store %s is damaged (%s) and cannot be moved aside: %s; saves fail until "
            "it can be",
            m_strPath.c_str(), m_strDamage.c_str(), std::strerror(errno));
        return kRegAccessDenied;
      }
      target = base + "-" + std::to_string(n);
    }
    RenameWithoutReplacing(m_strPath + "-journal", target + "-journal");
    SyncParentFolder(m_strPath);
    m_logger.error(
        "reg: the store %s is damaged (%s); moved aside to %s, a new one starts with "
        "the next save",
        m_strPath.c_str(), m_strDamage.c_str(), target.c_str());
    m_bDamaged = false;
    return kRegOk;
  }

  // Closes the damaged file and moves it aside at once, whether a read or a write found it,
  // so that the line about it is written while the log is there and the next save starts a
  // fresh store. The call that found it fails with kRegBadDatabase.
  void MarkDamaged(const char* reason) {
    m_strDamage = reason;  // before the close, which may free the text
    Close();
    struct stat info {};
    const bool found = stat(m_strPath.c_str(), &info) == 0;
    m_damagedDevice = found ? info.st_dev : 0;
    m_damagedInode = found ? info.st_ino : 0;
    m_bDamaged = true;
    if (m_nBatchDepth > 0) {
      m_nBatchStatus = kRegBadDatabase;
    }
    MoveAside();
  }

  // A failure of the fixed statements that look over a file just opened. SQLite answers them
  // with a plain error only when it cannot read the file as a database at all ("unsupported
  // file format"), which is damage like any other, not a passing read fault.
  RegistryStatus CheckFailure(int status, const char* operation) {
    if ((status & 0xFF) == SQLITE_ERROR) {
      MarkDamaged(sqlite3_errmsg(m_pDb));
      return kRegBadDatabase;
    }
    return Failure(status, operation, true);
  }

  // Maps a failure of SQLite to a registry status, marking the store damaged when it is:
  // SQLite says so, or one of our own statements (`statement`) no longer fits its tables.
  RegistryStatus Failure(int status, const char* operation, bool reading,
                         const CStatement* statement = nullptr) {
    const int primary = status & 0xFF;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
      MarkDamaged(sqlite3_errstr(status));
      return kRegBadDatabase;
    }
    if (primary == SQLITE_ERROR && statement != nullptr && !statement->IsPrepared()) {
      MarkDamaged(("its tables no longer fit: " + std::string(sqlite3_errmsg(m_pDb))).c_str());
      return kRegBadDatabase;
    }
    m_logger.error("reg: %s failed. %d %s", operation, status,
                   m_pDb != nullptr ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(status));
    switch (primary) {
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        return kRegBusy;
      case SQLITE_READONLY:
      case SQLITE_PERM:
      case SQLITE_AUTH:
      case SQLITE_CANTOPEN:
        return kRegAccessDenied;
      case SQLITE_NOMEM:
        return kRegOutOfMemory;
      default:
        return reading ? kRegReadFault : kRegWriteFault;
    }
  }

  int Execute(const char* sql) { return sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr); }

  int Integer(const char* sql, sqlite3_int64* value) {
    CStatement statement(m_pDb, sql);
    const int status = statement.Step();
    if (status != SQLITE_ROW) {
      return status == SQLITE_DONE ? SQLITE_CORRUPT : status;
    }
    *value = statement.Integer(0);
    return SQLITE_OK;
  }

  void RollBack() {
    if (m_pDb != nullptr && sqlite3_get_autocommit(m_pDb) == 0) {
      Execute("ROLLBACK");
    }
  }

  void Close() {
    if (m_pDb != nullptr) {
      sqlite3_close_v2(m_pDb);
      m_pDb = nullptr;
    }
    m_bSchema = false;
  }

  const std::string m_strPath;
  CLogger& m_logger;
  sqlite3* m_pDb = nullptr;
  bool m_bSchema = false;
  bool m_bDamaged = false;  // found damaged and not yet moved aside
  std::string m_strDamage;  // what was found
  dev_t m_damagedDevice = 0;
  ino_t m_damagedInode = 0;
  int m_nBatchDepth = 0;
  RegistryStatus m_nBatchStatus = kRegOk;
  bool m_bCommitted = false;
};

namespace {

class CSqliteKey : public IRegistryKey {
 public:
  CSqliteKey(std::shared_ptr<CSqliteStore> store, sqlite3_int64 id, bool writable)
      : m_spStore(std::move(store)), m_nId(id), m_bWritable(writable) {}

  RegistryStatus OpenSubKey(const std::wstring& path,
                            std::unique_ptr<IRegistryKey>* subKey) override {
    return Open(m_spStore, m_nId, path, false, subKey);
  }

  RegistryStatus CreateSubKey(const std::wstring& path,
                              std::unique_ptr<IRegistryKey>* subKey) override {
    if (!m_bWritable) {
      subKey->reset();
      std::lock_guard<std::recursive_mutex> lock(m_spStore->m_mutex);
      return m_spStore->Refuse(kRegAccessDenied);
    }
    return Open(m_spStore, m_nId, path, true, subKey);
  }

  RegistryStatus QueryValue(const std::wstring& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) override {
    std::lock_guard<std::recursive_mutex> lock(m_spStore->m_mutex);
    return m_spStore->Read([&] {
      std::uint32_t storedType = 0;
      std::vector<std::uint8_t> stored;
      const RegistryStatus status = m_spStore->Query(m_nId, name, &storedType, &stored);
      return status == kRegOk ? AnswerRegistryQuery(storedType, stored, type, data, size) : status;
    });
  }

  RegistryStatus SetValue(const std::wstring& name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) override {
    std::lock_guard<std::recursive_mutex> lock(m_spStore->m_mutex);
    if (!m_bWritable) {
      return m_spStore->Refuse(kRegAccessDenied);
    }
    if (data == nullptr && size > 0) {
      return m_spStore->Refuse(kRegInvalidParameter);
    }
    return m_spStore->Write([&] { return m_spStore->Set(m_nId, name, type, data, size); });
  }

  // Opens or creates `path` below the key `base`. The roots always exist, even in a store
  // not yet made.
  static RegistryStatus Open(const std::shared_ptr<CSqliteStore>& store, sqlite3_int64 base,
                             const std::wstring& path, bool create,
                             std::unique_ptr<IRegistryKey>* key) {
    key->reset();
    std::lock_guard<std::recursive_mutex> lock(store->m_mutex);
    std::vector<std::wstring> names;
    if (!SplitRegistryPath(path, &names)) {
      return create ? store->Refuse(kRegInvalidParameter) : kRegInvalidParameter;
    }
    sqlite3_int64 id = kNoKey;
    const auto resolve = [&] { return store->Resolve(base, names, create, &id); };
    RegistryStatus status = create ? store->Write(resolve) : store->Read(resolve);
    if (status == kRegFileNotFound && names.empty() && !create) {
      id = base;
      status = kRegOk;
    }
    if (status == kRegOk) {
      *key = std::make_unique<CSqliteKey>(store, id, create);
    }
    return status;
  }

 private:
  std::shared_ptr<CSqliteStore> m_spStore;
  sqlite3_int64 m_nId;
  bool m_bWritable;
};

class CSqliteBatch : public IRegistryWriteBatch {
 public:
  explicit CSqliteBatch(std::shared_ptr<CSqliteStore> store)
      : m_spStore(std::move(store)), m_lock(m_spStore->m_mutex) {
    m_spStore->BeginBatch();
  }
  ~CSqliteBatch() override { m_spStore->EndBatch(); }

  RegistryStatus Commit() override { return m_spStore->CommitBatch(); }

 private:
  std::shared_ptr<CSqliteStore> m_spStore;
  std::unique_lock<std::recursive_mutex> m_lock;
};

}  // namespace

CSqliteRegistry::CSqliteRegistry(std::string path, CLogger& logger)
    : m_spStore(std::make_shared<CSqliteStore>(std::move(path), logger)) {}

CSqliteRegistry::~CSqliteRegistry() = default;

std::string CSqliteRegistry::DefaultPath() {
  const std::string folder = UserSettingsFolder();
  return folder.empty() ? std::string() : folder + "/settings.db";
}

RegistryStatus CSqliteRegistry::OpenKey(RegistryRoot root, const std::wstring& path,
                                        std::unique_ptr<IRegistryKey>* key) {
  return CSqliteKey::Open(m_spStore, RootKey(root), path, false, key);
}

RegistryStatus CSqliteRegistry::CreateKey(RegistryRoot root, const std::wstring& path,
                                          std::unique_ptr<IRegistryKey>* key) {
  return CSqliteKey::Open(m_spStore, RootKey(root), path, true, key);
}

std::unique_ptr<IRegistryWriteBatch> CSqliteRegistry::BeginWriteBatch() {
  return std::make_unique<CSqliteBatch>(m_spStore);
}

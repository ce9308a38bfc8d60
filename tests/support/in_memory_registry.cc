#include "tests/support/in_memory_registry.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace {

struct StoredValue {
  std::uint32_t dwType = 0;
  std::vector<std::uint8_t> aData;
};

// Keys by their folded full path ("HKCU\NAME\NAME"); a key's values by folded name.
using Tree = std::map<std::wstring, std::map<std::wstring, StoredValue>>;

// What every registry over one store shares.
struct Store {
  std::mutex mutexWriter;  // held by a batch for its whole life, and by every single write
  std::mutex mutexData;
  Tree tree;
};

std::wstring RootPath(RegistryRoot) {
  return L"HKCU";
}

}  // namespace

struct CInMemoryRegistry::Session {
  std::shared_ptr<Store> spStore;
  std::recursive_mutex mutex;  // held by an open batch, so other threads wait for it
  int nBatchDepth = 0;
  std::unique_lock<std::mutex> writerLock;
  std::optional<Tree> pending;  // the batch's view of the store
  RegistryStatus nBatchStatus = kRegOk;
  int nFailAt = 0;
  RegistryStatus nFailStatus = kRegOk;
  int nReadFailAt = 0;
  RegistryStatus nReadFailStatus = kRegOk;

  // Runs `read` on the tree this registry sees.
  template <typename Reader>
  RegistryStatus Read(Reader read) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (nReadFailAt > 0 && --nReadFailAt == 0) {
      return nReadFailStatus;
    }
    if (pending) {
      return read(*pending);
    }
    std::lock_guard<std::mutex> data(spStore->mutexData);
    return read(spStore->tree);
  }

  // A write refused before it reached the store still fails the batch around it.
  RegistryStatus Refuse(RegistryStatus status) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (nBatchDepth > 0 && nBatchStatus == kRegOk) {
      nBatchStatus = status;
    }
    return status;
  }

  // Runs `write` on the batch's tree, or straight on the store outside a batch.
  template <typename Writer>
  RegistryStatus Write(Writer write) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (nBatchDepth > 0 && nBatchStatus != kRegOk) {
      return nBatchStatus;
    }
    RegistryStatus status = kRegOk;
    if (nFailAt > 0 && --nFailAt == 0) {
      status = nFailStatus;
    } else if (pending) {
      status = write(*pending);
    } else {
      std::lock_guard<std::mutex> writer(spStore->mutexWriter);
      std::lock_guard<std::mutex> data(spStore->mutexData);
      status = write(spStore->tree);
    }
    if (status != kRegOk && nBatchDepth > 0) {
      nBatchStatus = status;
    }
    return status;
  }
};

namespace {

class CMemoryKey : public IRegistryKey {
 public:
  CMemoryKey(std::shared_ptr<CInMemoryRegistry::Session> session, std::wstring path, bool writable)
      : m_spSession(std::move(session)), m_strPath(std::move(path)), m_bWritable(writable) {}

  RegistryStatus OpenSubKey(const std::wstring& path,
                            std::unique_ptr<IRegistryKey>* subKey) override {
    return Open(m_spSession, m_strPath, path, false, subKey);
  }

  RegistryStatus CreateSubKey(const std::wstring& path,
                              std::unique_ptr<IRegistryKey>* subKey) override {
    if (!m_bWritable) {
      subKey->reset();
      return m_spSession->Refuse(kRegAccessDenied);
    }
    return Open(m_spSession, m_strPath, path, true, subKey);
  }

  RegistryStatus QueryValue(const std::wstring& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) override {
    return m_spSession->Read([&](Tree& tree) {
      const auto key = tree.find(m_strPath);
      if (key == tree.end()) {
        return kRegFileNotFound;
      }
      const auto value = key->second.find(FoldRegistryName(name));
      if (value == key->second.end()) {
        return kRegFileNotFound;
      }
      return AnswerRegistryQuery(value->second.dwType, value->second.aData, type, data, size);
    });
  }

  RegistryStatus SetValue(const std::wstring& name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) override {
    if (!m_bWritable) {
      return m_spSession->Refuse(kRegAccessDenied);
    }
    if (data == nullptr && size > 0) {
      return m_spSession->Refuse(kRegInvalidParameter);
    }
    return m_spSession->Write([&](Tree& tree) {
      const auto key = tree.find(m_strPath);
      if (key == tree.end()) {
        return kRegFileNotFound;
      }
      key->second[FoldRegistryName(name)] = {type, std::vector<std::uint8_t>(data, data + size)};
      return kRegOk;
    });
  }

  // Opens or creates `path` below the key at `base`.
  static RegistryStatus Open(const std::shared_ptr<CInMemoryRegistry::Session>& session,
                             const std::wstring& base, const std::wstring& path, bool create,
                             std::unique_ptr<IRegistryKey>* key) {
    key->reset();
    std::vector<std::wstring> names;
    if (!SplitRegistryPath(path, &names)) {
      return create ? session->Refuse(kRegInvalidParameter) : kRegInvalidParameter;
    }
    std::vector<std::wstring> levels{base};
    for (const std::wstring& name : names) {
      levels.push_back(levels.back() + L'\\' + FoldRegistryName(name));
    }
    const auto find = [&](Tree& tree) {
      for (const std::wstring& level : levels) {
        if (level != levels.front() && tree.count(level) == 0) {
          return kRegFileNotFound;
        }
      }
      return kRegOk;
    };
    const auto make = [&](Tree& tree) {
      for (const std::wstring& level : levels) {
        tree[level];
      }
      return kRegOk;
    };
    const RegistryStatus status = create ? session->Write(make) : session->Read(find);
    if (status == kRegOk) {
      *key = std::make_unique<CMemoryKey>(session, levels.back(), create);
    }
    return status;
  }

 private:
  std::shared_ptr<CInMemoryRegistry::Session> m_spSession;
  std::wstring m_strPath;
  bool m_bWritable;
};

class CMemoryBatch : public IRegistryWriteBatch {
 public:
  explicit CMemoryBatch(std::shared_ptr<CInMemoryRegistry::Session> session)
      : m_spSession(std::move(session)), m_lock(m_spSession->mutex) {
    CInMemoryRegistry::Session& s = *m_spSession;
    if (s.nBatchDepth++ == 0) {
      s.writerLock = std::unique_lock<std::mutex>(s.spStore->mutexWriter);
      std::lock_guard<std::mutex> data(s.spStore->mutexData);
      s.pending = s.spStore->tree;
      s.nBatchStatus = kRegOk;
    }
  }

  ~CMemoryBatch() override {
    CInMemoryRegistry::Session& s = *m_spSession;
    if (--s.nBatchDepth == 0) {
      s.pending.reset();  // committed already, or abandoned
      s.writerLock.unlock();
    }
  }

  RegistryStatus Commit() override {
    CInMemoryRegistry::Session& s = *m_spSession;
    if (s.nBatchDepth > 1 || s.nBatchStatus != kRegOk || !s.pending) {
      return s.nBatchStatus;
    }
    std::lock_guard<std::mutex> data(s.spStore->mutexData);
    s.spStore->tree = std::move(*s.pending);
    s.pending.reset();
    return kRegOk;
  }

 private:
  std::shared_ptr<CInMemoryRegistry::Session> m_spSession;
  std::unique_lock<std::recursive_mutex> m_lock;
};

}  // namespace

CInMemoryRegistry::CInMemoryRegistry() : m_spSession(std::make_shared<Session>()) {
  m_spSession->spStore = std::make_shared<Store>();
}

CInMemoryRegistry::CInMemoryRegistry(std::shared_ptr<Session> session)
    : m_spSession(std::move(session)) {}

CInMemoryRegistry::~CInMemoryRegistry() = default;

std::unique_ptr<CInMemoryRegistry> CInMemoryRegistry::OpenAnother() const {
  auto session = std::make_shared<Session>();
  session->spStore = m_spSession->spStore;
  return std::unique_ptr<CInMemoryRegistry>(new CInMemoryRegistry(session));
}

void CInMemoryRegistry::FailWrite(int nth, RegistryStatus status) {
  std::lock_guard<std::recursive_mutex> lock(m_spSession->mutex);
  m_spSession->nFailAt = nth;
  m_spSession->nFailStatus = status;
}

void CInMemoryRegistry::FailRead(int nth, RegistryStatus status) {
  std::lock_guard<std::recursive_mutex> lock(m_spSession->mutex);
  m_spSession->nReadFailAt = nth;
  m_spSession->nReadFailStatus = status;
}

RegistryStatus CInMemoryRegistry::OpenKey(RegistryRoot root, const std::wstring& path,
                                          std::unique_ptr<IRegistryKey>* key) {
  return CMemoryKey::Open(m_spSession, RootPath(root), path, false, key);
}

RegistryStatus CInMemoryRegistry::CreateKey(RegistryRoot root, const std::wstring& path,
                                            std::unique_ptr<IRegistryKey>* key) {
  return CMemoryKey::Open(m_spSession, RootPath(root), path, true, key);
}

std::unique_ptr<IRegistryWriteBatch> CInMemoryRegistry::BeginWriteBatch() {
  return std::make_unique<CMemoryBatch>(m_spSession);
}

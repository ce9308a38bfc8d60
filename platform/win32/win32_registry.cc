#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/win32_handles.h"

// What every key of one registry shares: the batch lock and the open batch's state.
struct CWin32Registry::Shared {
  std::recursive_mutex mutex;
  int nBatchDepth = 0;              // batches open on the owning thread
  RegistryStatus nBatchStatus = 0;  // the first failure of the open batch
};

namespace {

using Shared = CWin32Registry::Shared;

// Holds the registry for one call; inside a batch, the batch's thread already holds it.
class CCallLock {
 public:
  explicit CCallLock(Shared& shared) : m_lock(shared.mutex) {}

 private:
  std::lock_guard<std::recursive_mutex> m_lock;
};

// A write inside a failed batch is refused; a failed write dooms the open batch.
RegistryStatus Write(Shared& shared, RegistryStatus (*operation)(void*), void* context) {
  CCallLock lock(shared);
  if (shared.nBatchDepth > 0 && shared.nBatchStatus != kRegOk) {
    return shared.nBatchStatus;
  }
  const RegistryStatus status = operation(context);
  if (shared.nBatchDepth > 0 && status != kRegOk) {
    shared.nBatchStatus = status;
  }
  return status;
}

bool IsValidPath(const std::wstring& path) {
  std::vector<std::wstring> names;
  return SplitRegistryPath(path, &names);
}

class CWin32RegistryKey : public IRegistryKey {
 public:
  CWin32RegistryKey(std::shared_ptr<Shared> shared, CRegKeyHandle key, bool writable)
      : m_spShared(std::move(shared)), m_hKey(std::move(key)), m_bWritable(writable) {}

  RegistryStatus OpenSubKey(const std::wstring& path,
                            std::unique_ptr<IRegistryKey>* subKey) override {
    return Open(m_spShared, m_hKey.Get(), path, subKey);
  }

  RegistryStatus CreateSubKey(const std::wstring& path,
                              std::unique_ptr<IRegistryKey>* subKey) override {
    if (!m_bWritable) {
      return Write(
          *m_spShared, [](void*) { return kRegAccessDenied; }, nullptr);
    }
    return Create(m_spShared, m_hKey.Get(), path, subKey);
  }

  RegistryStatus QueryValue(const std::wstring& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) override {
    if (data != nullptr && size == nullptr) {
      return kRegInvalidParameter;
    }
    CCallLock lock(*m_spShared);
    DWORD valueType = 0;
    DWORD valueSize = size != nullptr ? *size : 0;
    const LONG status = RegQueryValueExW(m_hKey.Get(), name.c_str(), nullptr, &valueType, data,
                                         size != nullptr ? &valueSize : nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      if (type != nullptr) {
        *type = valueType;
      }
      if (size != nullptr) {
        *size = valueSize;
      }
    }
    return status;
  }

  RegistryStatus SetValue(const std::wstring& name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) override {
    struct Context {
      CWin32RegistryKey* self;
      const std::wstring* name;
      std::uint32_t type;
      const std::uint8_t* data;
      std::uint32_t size;
    } context{this, &name, type, data, size};
    return Write(
        *m_spShared,
        [](void* raw) -> RegistryStatus {
          auto* c = static_cast<Context*>(raw);
          if (!c->self->m_bWritable) {
            return kRegAccessDenied;
          }
          if (c->data == nullptr && c->size > 0) {
            return kRegInvalidParameter;
          }
          return RegSetValueExW(c->self->m_hKey.Get(), c->name->c_str(), 0, c->type, c->data,
                                c->size);
        },
        &context);
  }

  static RegistryStatus Open(const std::shared_ptr<Shared>& shared, HKEY parent,
                             const std::wstring& path, std::unique_ptr<IRegistryKey>* key) {
    key->reset();
    if (!IsValidPath(path)) {
      return kRegInvalidParameter;
    }
    CCallLock lock(*shared);
    CRegKeyHandle opened;
    const LONG status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, opened.Receive());
    if (status == ERROR_SUCCESS) {
      *key = std::make_unique<CWin32RegistryKey>(shared, std::move(opened), false);
    }
    return status;
  }

  static RegistryStatus Create(const std::shared_ptr<Shared>& shared, HKEY parent,
                               const std::wstring& path, std::unique_ptr<IRegistryKey>* key) {
    key->reset();
    if (!IsValidPath(path)) {
      return kRegInvalidParameter;
    }
    struct Context {
      HKEY parent;
      const std::wstring* path;
      CRegKeyHandle created;
    } context{parent, &path, {}};
    const RegistryStatus status = Write(
        *shared,
        [](void* raw) -> RegistryStatus {
          auto* c = static_cast<Context*>(raw);
          return RegCreateKeyExW(c->parent, c->path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_READ | KEY_WRITE, nullptr, c->created.Receive(), nullptr);
        },
        &context);
    if (status == ERROR_SUCCESS) {
      *key = std::make_unique<CWin32RegistryKey>(shared, std::move(context.created), true);
    }
    return status;
  }

 private:
  std::shared_ptr<Shared> m_spShared;
  CRegKeyHandle m_hKey;
  bool m_bWritable;
};

class CWin32WriteBatch : public IRegistryWriteBatch {
 public:
  explicit CWin32WriteBatch(std::shared_ptr<Shared> shared)
      : m_spShared(std::move(shared)), m_lock(m_spShared->mutex) {
    if (m_spShared->nBatchDepth++ == 0) {
      m_spShared->nBatchStatus = kRegOk;
    }
  }
  ~CWin32WriteBatch() override {
    if (--m_spShared->nBatchDepth == 0) {
      m_spShared->nBatchStatus = kRegOk;
    }
  }
  CWin32WriteBatch(const CWin32WriteBatch&) = delete;
  CWin32WriteBatch& operator=(const CWin32WriteBatch&) = delete;

  // Each write already reached the registry; the batch reports the first that failed.
  RegistryStatus Commit() override { return m_spShared->nBatchStatus; }

 private:
  std::shared_ptr<Shared> m_spShared;
  std::unique_lock<std::recursive_mutex> m_lock;
};

// The base key's handle for one call: HKEY_CURRENT_USER itself, or the scratch key below it.
RegistryStatus OpenBase(const std::wstring& baseKey, bool create, CRegKeyHandle* base) {
  if (baseKey.empty()) {
    return kRegOk;
  }
  return create ? RegCreateKeyExW(HKEY_CURRENT_USER, baseKey.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                  base->Receive(), nullptr)
                : RegOpenKeyExW(HKEY_CURRENT_USER, baseKey.c_str(), 0, KEY_READ, base->Receive());
}

}  // namespace

CWin32Registry::CWin32Registry(std::wstring baseKey)
    : m_strBaseKey(std::move(baseKey)), m_spShared(std::make_shared<Shared>()) {}

CWin32Registry::~CWin32Registry() = default;

RegistryStatus CWin32Registry::OpenKey(RegistryRoot, const std::wstring& path,
                                       std::unique_ptr<IRegistryKey>* key) {
  key->reset();
  CRegKeyHandle base;
  if (const RegistryStatus status = OpenBase(m_strBaseKey, false, &base); status != kRegOk) {
    return IsValidPath(path) ? status : kRegInvalidParameter;
  }
  return CWin32RegistryKey::Open(m_spShared, base ? base.Get() : HKEY_CURRENT_USER, path, key);
}

RegistryStatus CWin32Registry::CreateKey(RegistryRoot, const std::wstring& path,
                                         std::unique_ptr<IRegistryKey>* key) {
  key->reset();
  CRegKeyHandle base;
  if (const RegistryStatus status = OpenBase(m_strBaseKey, true, &base); status != kRegOk) {
    return status;
  }
  return CWin32RegistryKey::Create(m_spShared, base ? base.Get() : HKEY_CURRENT_USER, path, key);
}

std::unique_ptr<IRegistryWriteBatch> CWin32Registry::BeginWriteBatch() {
  return std::make_unique<CWin32WriteBatch>(m_spShared);
}

RegistryStatus DeleteCurrentUserTree(const std::wstring& path) {
  if (path.empty() || !IsValidPath(path)) {
    return kRegInvalidParameter;  // never the whole of HKEY_CURRENT_USER
  }
  return RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

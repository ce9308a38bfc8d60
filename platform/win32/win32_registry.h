// The registry seam on advapi32: the user's own registry (HKEY_CURRENT_USER).
//
// - Write batches are not atomic: the Windows registry has no transactions that every
//   system offers, so each write stands alone, as the add-in always wrote its options. What a
//   batch does give: other threads' calls on this registry wait for it to end, and after the
//   first failed write every later write of the batch is refused with the same status, which
//   Commit returns. A batch never writes half of a value list past a failure.
// - Paths are checked with the shared rules before the system sees them, so an empty name
//   inside a path is refused the same way on every platform.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

class CWin32Registry : public IRegistry {
 public:
  // `baseKey` is a key path below HKEY_CURRENT_USER that stands for the current user's root;
  // empty (the add-in's case) is HKEY_CURRENT_USER itself. Tests use a scratch key.
  explicit CWin32Registry(std::wstring baseKey = std::wstring());
  ~CWin32Registry() override;

  RegistryStatus OpenKey(RegistryRoot root, const std::wstring& path,
                         std::unique_ptr<IRegistryKey>* key) override;
  RegistryStatus CreateKey(RegistryRoot root, const std::wstring& path,
                           std::unique_ptr<IRegistryKey>* key) override;
  std::unique_ptr<IRegistryWriteBatch> BeginWriteBatch() override;

  struct Shared;

 private:
  std::wstring m_strBaseKey;
  std::shared_ptr<Shared> m_spShared;
};

// Deletes the key `path` below HKEY_CURRENT_USER with everything below it; for tests and the
// unregistration. Returns the system's status (kRegFileNotFound when there was none).
RegistryStatus DeleteCurrentUserTree(const std::wstring& path);

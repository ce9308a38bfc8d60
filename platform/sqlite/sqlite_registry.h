// The registry on Linux: one SQLite file holding the keys and typed values of every root.
//
// - Durability: a rollback journal with synchronous=FULL, and every write batch is one
//   IMMEDIATE transaction, so a crash or a power cut leaves the old or the new content of a
//   batch, never a mix. Other processes using the file wait for a writer (busy time-out)
//   instead of failing or damaging it.
// - Nothing is created by reading: the file and its folder (mode 0700) are made at the first
//   write; the file has mode 0600.
// - A file that is damaged, of an unknown format, whose table definitions are not exactly
//   ours, or that cannot be opened is moved aside as soon as any read or write finds it, under
//   a new name ("<file>.damaged-<UTC time>"; never overwritten or deleted), with one error line
//   naming where it went. The call that found it fails with kRegBadDatabase; later reads find
//   no key at all, and the next write starts a fresh store.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

class CLogger;
class CSqliteStore;

class CSqliteRegistry : public IRegistry {
 public:
  // The store in the file `path`; problems are logged through `logger`. Nothing is opened
  // before the first call.
  CSqliteRegistry(std::string path, CLogger& logger);
  ~CSqliteRegistry() override;

  // The user's store: "settings.db" in UserSettingsFolder().
  static std::string DefaultPath();

  RegistryStatus OpenKey(RegistryRoot root, const std::wstring& path,
                         std::unique_ptr<IRegistryKey>* key) override;
  RegistryStatus CreateKey(RegistryRoot root, const std::wstring& path,
                           std::unique_ptr<IRegistryKey>* key) override;
  std::unique_ptr<IRegistryWriteBatch> BeginWriteBatch() override;

 private:
  std::shared_ptr<CSqliteStore> m_spStore;
};

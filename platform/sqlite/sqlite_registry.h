// The registry on Linux: one SQLite file holding the keys and typed values of every root.
//
// - Durability: a rollback journal with synchronous=FULL, and every write batch is one
//   IMMEDIATE transaction, so a crash or a power cut leaves the old or the new content of a
//   batch, never a mix. Other processes using the file wait for a writer (busy time-out)
//   instead of failing or damaging it.
// - Nothing is created by reading: the file and its folder (mode 0700) are made at the first
//   write; the file has mode 0600.
// - A file that is damaged, of an unknown format or cannot be opened reads as no key at all
//   (kRegBadDatabase) with an error line; the next write moves it aside under a new name
//   ("<file>.damaged-<UTC time>"; never overwritten or deleted) and starts a fresh store.
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

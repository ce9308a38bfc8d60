// A registry kept in memory, held to the same contract as the real stores. Several objects
// may share one store (as several processes share a file), and a write or a read can be made
// to fail on purpose.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

class CInMemoryRegistry : public IRegistry {
 public:
  CInMemoryRegistry();
  ~CInMemoryRegistry() override;

  // Another registry over the same store, as a second process would see it.
  std::unique_ptr<CInMemoryRegistry> OpenAnother() const;

  // The `nth` write from now on (1 = the next one; SetValue, CreateKey and CreateSubKey
  // count) fails once with `status`.
  void FailWrite(int nth, RegistryStatus status);
  // The `nth` read from now on (1 = the next one; OpenKey, OpenSubKey and QueryValue count)
  // fails once with `status`.
  void FailRead(int nth, RegistryStatus status);

  RegistryStatus OpenKey(RegistryRoot root, const std::wstring& path,
                         std::unique_ptr<IRegistryKey>* key) override;
  RegistryStatus CreateKey(RegistryRoot root, const std::wstring& path,
                           std::unique_ptr<IRegistryKey>* key) override;
  std::unique_ptr<IRegistryWriteBatch> BeginWriteBatch() override;

  struct Session;

 private:
  explicit CInMemoryRegistry(std::shared_ptr<Session> session);

  std::shared_ptr<Session> m_spSession;
};

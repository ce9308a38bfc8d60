// Folders in memory, with a chosen separator, so that tests can see every folder the code
// tries to make, Windows-style paths included.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

class CInMemoryFileSystem : public IFileSystem {
 public:
  // `appData` empty means the platform has no application data folder. Folders listed in
  // `existing` exist from the start.
  CInMemoryFileSystem(std::wstring appData, std::wstring fallback, wchar_t separator,
                      std::vector<std::wstring> existing = {});

  std::wstring LocalAppDataFolder() override { return m_strAppData; }
  std::wstring FallbackFolder() override { return m_strFallback; }
  wchar_t Separator() const override { return m_cSeparator; }
  bool Exists(const std::wstring& path) override;
  bool CreateFolder(const std::wstring& path) override;

  // Every CreateFolder call, in order, successful or not.
  std::vector<std::wstring> CreateAttempts();

 private:
  std::wstring Normalised(std::wstring path) const;

  std::mutex m_mutex;
  std::wstring m_strAppData;
  std::wstring m_strFallback;
  wchar_t m_cSeparator;
  std::set<std::wstring> m_folders;
  std::vector<std::wstring> m_attempts;
};

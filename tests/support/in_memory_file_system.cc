#include "tests/support/in_memory_file_system.h"

CInMemoryFileSystem::CInMemoryFileSystem(std::wstring appData, std::wstring fallback,
                                         wchar_t separator, std::vector<std::wstring> existing)
    : m_strAppData(std::move(appData)),
      m_strFallback(std::move(fallback)),
      m_cSeparator(separator) {
  for (const std::wstring& folder : existing) {
    m_folders.insert(Normalised(folder));
  }
}

std::wstring CInMemoryFileSystem::Normalised(std::wstring path) const {
  while (path.size() > 1 && (path.back() == m_cSeparator || path.back() == L'/')) {
    path.pop_back();
  }
  return path;
}

bool CInMemoryFileSystem::Exists(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_folders.count(Normalised(path)) != 0;
}

bool CInMemoryFileSystem::CreateFolder(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_attempts.push_back(path);
  const std::wstring folder = Normalised(path);
  if (folder.empty() || m_folders.count(folder) != 0) {
    return false;
  }
  const std::size_t cut = folder.find_last_of(std::wstring{m_cSeparator, L'/'});
  if (cut != std::wstring::npos && cut > 0 && m_folders.count(folder.substr(0, cut)) == 0) {
    return false;  // the parent must exist
  }
  m_folders.insert(folder);
  return true;
}

std::vector<std::wstring> CInMemoryFileSystem::CreateAttempts() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_attempts;
}

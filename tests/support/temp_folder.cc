#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

CTempFolder::CTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zenlet-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  m_strPath = pattern;
}

CTempFolder::~CTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(m_strPath, ignored);
}

CScopedEnvironment::CScopedEnvironment(const char* name, const char* value) : m_strName(name) {
  const char* old = std::getenv(name);
  m_bHadOld = old != nullptr;
  if (m_bHadOld) {
    m_strOld = old;
  }
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

CScopedEnvironment::~CScopedEnvironment() {
  if (m_bHadOld) {
    setenv(m_strName.c_str(), m_strOld.c_str(), 1);
  } else {
    unsetenv(m_strName.c_str());
  }
}

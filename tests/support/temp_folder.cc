#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "tests/support/environment.h"

CTempFolder::CTempFolder() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("zenlet-test-" + std::to_string(random() % 1000000000000ull));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {  // false when it exists
      m_strPath = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
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
  SetEnvironmentValue(name, value);
}

CScopedEnvironment::~CScopedEnvironment() {
  SetEnvironmentValue(m_strName.c_str(), m_bHadOld ? m_strOld.c_str() : nullptr);
}

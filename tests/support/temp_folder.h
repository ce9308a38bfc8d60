// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
#pragma once

#include <string>

class CTempFolder {
 public:
  CTempFolder();
  ~CTempFolder();
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;

  const std::string& Path() const { return m_strPath; }

 private:
  std::string m_strPath;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class CScopedEnvironment {
 public:
  CScopedEnvironment(const char* name, const char* value);  // null value: unset
  ~CScopedEnvironment();
  CScopedEnvironment(const CScopedEnvironment&) = delete;
  CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

 private:
  std::string m_strName;
  std::string m_strOld;
  bool m_bHadOld;
};

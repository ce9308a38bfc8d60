// Certificates added to the machine's trusted roots for as long as the object lives (under
// Wine, to the test prefix's), so that WinInet's own checks accept a loopback server's
// certificate, as they would a public server's. Windows only.
#pragma once

#include <string>
#include <vector>

class CScopedTrustedRoots {
 public:
  // `pem`: one or more certificates in PEM form. Throws std::runtime_error when one of them
  // cannot be read or added.
  explicit CScopedTrustedRoots(const std::string& pem);
  ~CScopedTrustedRoots();
  CScopedTrustedRoots(const CScopedTrustedRoots&) = delete;
  CScopedTrustedRoots& operator=(const CScopedTrustedRoots&) = delete;

 private:
  std::vector<std::vector<unsigned char>> m_aCertificates;  // DER
};

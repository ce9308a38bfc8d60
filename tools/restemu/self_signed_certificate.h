// A key and a certificate signing itself, made in memory when a server starts, so that a
// client can be told to trust exactly that certificate and no other. The key never leaves
// the process.
//
// The certificate names each of its hosts as a subject alternative name; an IP address is
// written both as an address and as a name, since some clients (Wine's) compare only names.
#pragma once

#include <openssl/types.h>

#include <memory>
#include <string>
#include <vector>

class CSelfSignedCertificate {
 public:
  // A P-256 key and a certificate for `hosts` (names or IPv4 addresses) signed with it, valid
  // from an hour ago for a year. Throws std::runtime_error when OpenSSL fails.
  explicit CSelfSignedCertificate(const std::vector<std::string>& hosts);
  ~CSelfSignedCertificate();
  CSelfSignedCertificate(const CSelfSignedCertificate&) = delete;
  CSelfSignedCertificate& operator=(const CSelfSignedCertificate&) = delete;

  // The certificate as PEM text ("-----BEGIN CERTIFICATE-----" ... with a final line break).
  const std::string& Pem() const { return m_strPem; }
  // OpenSSL's objects, owned here; a server that keeps them takes its own reference.
  X509* Certificate() const { return m_pCertificate; }
  EVP_PKEY* Key() const { return m_pKey; }

 private:
  X509* m_pCertificate = nullptr;
  EVP_PKEY* m_pKey = nullptr;
  std::string m_strPem;
};

// The hosts of this machine's loopback: "127.0.0.1" and "localhost".
const std::vector<std::string>& LoopbackHosts();

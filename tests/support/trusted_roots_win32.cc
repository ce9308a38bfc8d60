#include <windows.h>

#include "tests/support/trusted_roots.h"
// After windows.h, whose types it needs.
#include <wincrypt.h>

#include <stdexcept>

namespace {

constexpr char kEnd[] = "-----END CERTIFICATE-----";

// The machine's roots as its registry keeps them, where adding one asks nobody (the user's
// own store would ask). A deletion made through the whole system store, which also holds the
// roots Wine takes from the host, is not kept by Wine.
HCERTSTORE OpenRootStore() {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                   CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) {
    throw std::runtime_error("the trusted root store cannot be opened: error " +
                             std::to_string(GetLastError()));
  }
  return store;
}

// Held while a store is open for a change. A registry store writes back every root it read
// when it closes, so two test processes changing the roots at once could bring back a root
// that the other had just taken away.
class CRootStoreLock {
 public:
  CRootStoreLock() : m_hMutex(CreateMutexW(nullptr, FALSE, L"ZenletTestTrustedRoots")) {
    if (m_hMutex != nullptr) {
      WaitForSingleObject(m_hMutex, 60000);
    }
  }
  ~CRootStoreLock() {
    if (m_hMutex != nullptr) {
      ReleaseMutex(m_hMutex);
      CloseHandle(m_hMutex);
    }
  }
  CRootStoreLock(const CRootStoreLock&) = delete;
  CRootStoreLock& operator=(const CRootStoreLock&) = delete;

 private:
  HANDLE m_hMutex;
};

std::vector<unsigned char> Decode(const std::string& block) {
  DWORD size = 0;
  if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                            CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
    throw std::runtime_error("a certificate is not in PEM form");
  }
  std::vector<unsigned char> der(size);
  CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                       der.data(), &size, nullptr, nullptr);
  der.resize(size);
  return der;
}

}  // namespace

CScopedTrustedRoots::CScopedTrustedRoots(const std::string& pem) {
  for (std::size_t begin = 0, end = 0; (end = pem.find(kEnd, begin)) != std::string::npos;
       begin = end) {
    end += sizeof(kEnd) - 1;
    m_aCertificates.push_back(Decode(pem.substr(begin, end - begin)));
  }
  if (m_aCertificates.empty()) {
    throw std::runtime_error("no certificate to trust");
  }
  const CRootStoreLock lock;
  HCERTSTORE store = OpenRootStore();
  for (const std::vector<unsigned char>& der : m_aCertificates) {
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      const DWORD error = GetLastError();
      CertCloseStore(store, 0);
      throw std::runtime_error("a certificate cannot be trusted: error " + std::to_string(error));
    }
  }
  CertCloseStore(store, 0);
}

CScopedTrustedRoots::~CScopedTrustedRoots() {
  const CRootStoreLock lock;
  HCERTSTORE store = nullptr;
  try {
    store = OpenRootStore();
  } catch (const std::runtime_error&) {
    return;  // the roots added stay; nothing else is touched
  }
  for (const std::vector<unsigned char>& der : m_aCertificates) {
    PCCERT_CONTEXT added =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    PCCERT_CONTEXT found = added == nullptr
                               ? nullptr
                               : CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                            CERT_FIND_EXISTING, added, nullptr);
    if (found != nullptr) {
      CertDeleteCertificateFromStore(found);  // frees `found` as well
    }
    if (added != nullptr) {
      CertFreeCertificateContext(added);
    }
  }
  CertCloseStore(store, 0);
}

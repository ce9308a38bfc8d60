// MD5 from the system's CryptoAPI (advapi32), available on every Windows the add-in runs on.
#include <windows.h>
// After windows.h, whose types it needs.
#include <wincrypt.h>

#include <new>

#include "platform/md5.h"

namespace {

struct CCryptProvider {
  HCRYPTPROV hProvider = 0;
  ~CCryptProvider() {
    if (hProvider != 0) {
      CryptReleaseContext(hProvider, 0);
    }
  }
};

struct CCryptHash {
  HCRYPTHASH hHash = 0;
  ~CCryptHash() {
    if (hHash != 0) {
      CryptDestroyHash(hHash);
    }
  }
};

}  // namespace

Md5Digest ComputeMd5(std::string_view bytes) {
  Md5Digest digest{};
  CCryptProvider provider;
  CCryptHash hash;
  DWORD length = static_cast<DWORD>(digest.size());
  // The base provider always offers MD5; only a lack of resources makes these calls fail.
  if (!CryptAcquireContextW(&provider.hProvider, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
      !CryptCreateHash(provider.hProvider, CALG_MD5, 0, 0, &hash.hHash) ||
      !CryptHashData(hash.hHash, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()), 0) ||
      !CryptGetHashParam(hash.hHash, HP_HASHVAL, digest.data(), &length, 0)) {
    throw std::bad_alloc();
  }
  return digest;
}

#include <openssl/evp.h>

#include <new>

#include "platform/md5.h"

Md5Digest ComputeMd5(std::string_view bytes) {
  Md5Digest digest{};
  unsigned int length = 0;
  // EVP_Digest cannot fail for MD5 short of running out of memory.
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1) {
    throw std::bad_alloc();
  }
  return digest;
}

#include "tools/restemu/signature.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

std::string ExpectedSignature(const CRequestParams& params, std::string_view secret) {
  std::vector<const RequestParam*> signedParams;
  signedParams.reserve(params.Items().size());
  for (const RequestParam& param : params.Items()) {
    if (param.strName != "sig") {
      signedParams.push_back(&param);
    }
  }
  // Names are unique in a CRequestParams, so the name alone orders them. std::string compares
  // its characters as unsigned bytes.
  std::sort(signedParams.begin(), signedParams.end(),
            [](const RequestParam* a, const RequestParam* b) { return a->strName < b->strName; });

  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("MD5 is not available");
  }
  for (const RequestParam* param : signedParams) {
    EVP_DigestUpdate(context.get(), param->strName.data(), param->strName.size());
    EVP_DigestUpdate(context.get(), "=", 1);
    EVP_DigestUpdate(context.get(), param->strValue.data(), param->strValue.size());
  }
  EVP_DigestUpdate(context.get(), secret.data(), secret.size());
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), digest, &length);

  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kDigits[digest[i] >> 4]);
    hex.push_back(kDigits[digest[i] & 0x0F]);
  }
  return hex;
}

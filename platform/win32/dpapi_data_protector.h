// The data-protection seam on the Windows Data Protection API: CryptProtectData and
// CryptUnprotectData for the current user, with an empty description, the caller's entropy,
// no prompt (a prompt structure with only its size set) and no flags. Blobs open only for the
// same user, and only with the same entropy.
#pragma once

#include "platform/data_protector.h"

class CDpapiDataProtector : public IDataProtector {
 public:
  bool Protect(const std::vector<std::uint8_t>& data, const std::vector<std::uint8_t>& entropy,
               std::vector<std::uint8_t>* blob) override;
  bool Unprotect(const std::vector<std::uint8_t>& blob, const std::vector<std::uint8_t>& entropy,
                 std::vector<std::uint8_t>* data) override;
};

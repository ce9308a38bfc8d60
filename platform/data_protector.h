// Data-protection seam: seals a byte block so that only the same user (on the same machine)
// can open it again.
//
// - `entropy` is extra secret material bound to the blob: unprotecting needs the same bytes.
//   It may be empty.
// - Unprotect fails (returns false) for a blob that was tampered with, was sealed for another
//   user or key, or is given a different entropy; it never returns wrong data as success.
//
// Errors: a bool result; `out` is left empty on failure. Nothing throws except
// std::bad_alloc. Threading: safe from any thread.
#pragma once

#include <cstdint>
#include <vector>

class IDataProtector {
 public:
  virtual ~IDataProtector() = default;

  virtual bool Protect(const std::vector<std::uint8_t>& data,
                       const std::vector<std::uint8_t>& entropy,
                       std::vector<std::uint8_t>* blob) = 0;
  virtual bool Unprotect(const std::vector<std::uint8_t>& blob,
                         const std::vector<std::uint8_t>& entropy,
                         std::vector<std::uint8_t>* data) = 0;
};

// Data protection on Linux: AES-256-GCM under a random key of the user's own.
//
// The key (32 random bytes, nothing else) lives in a file readable only by the user (mode
// 0600) beside the settings store. It is made on the first Protect: written under a
// temporary name created exclusively with mode 0600, flushed, then renamed into place without
// replacing a key another process made meanwhile. Temporary files that a process killed
// while making the key left behind are removed at the first use in a later process. A key
// file that is not a regular file of this user, is open to anyone else or is not 32 bytes
// long is refused with an error line (once per reason) and left as it is; protection then
// fails, and every later call looks at the file again, so that a mended key works at once.
//
// Blob layout (version 1), 29 bytes plus the data:
//   byte 0        version, 1
//   bytes 1-12    nonce, random from the operating system for every blob
//   bytes 13-n    the data, encrypted
//   last 16       GCM tag over the version byte and the entropy (associated data) and the
//                 encrypted data
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/data_protector.h"

class CLogger;

class CAesGcmDataProtector : public IDataProtector {
 public:
  // Protects with the key in the file `keyPath`; problems are logged through `logger`.
  CAesGcmDataProtector(std::string keyPath, CLogger& logger);
  ~CAesGcmDataProtector() override;

  // The user's key file: "protection.key" in UserSettingsFolder().
  static std::string DefaultKeyPath();

  bool Protect(const std::vector<std::uint8_t>& data, const std::vector<std::uint8_t>& entropy,
               std::vector<std::uint8_t>* blob) override;
  bool Unprotect(const std::vector<std::uint8_t>& blob, const std::vector<std::uint8_t>& entropy,
                 std::vector<std::uint8_t>* data) override;

 private:
  using Key = std::array<std::uint8_t, 32>;

  // The key, read once; made when missing and `create` is set.
  bool GetKey(bool create, Key* key);
  bool ReadKeyFile(Key* key, bool* missing);
  bool CreateKeyFile(Key* key);
  // Removes the temporary key files whose makers can no longer finish them.
  void RemoveLeftovers();

  const std::string m_strKeyPath;
  CLogger& m_logger;
  std::mutex m_mutex;
  bool m_bHaveKey = false;
  bool m_bSwept = false;         // leftovers looked for
  std::string m_strLastRefusal;  // why the key file was last refused, as logged
  Key m_key{};
};

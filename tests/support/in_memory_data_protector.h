// A data protector kept in memory, held to the same contract as the real one. Blobs open only
// in protectors of the same user (sharing the user's state) and only exactly as they were
// sealed, with the same entropy. It can be told to fail.
#pragma once

#include <memory>

#include "platform/data_protector.h"

class CInMemoryDataProtector : public IDataProtector {
 public:
  CInMemoryDataProtector();  // a user of its own
  ~CInMemoryDataProtector() override;

  // Another protector of the same user, as the next process of that user would have.
  std::unique_ptr<CInMemoryDataProtector> SameUser() const;

  // Every later call fails (true) or works again (false).
  void SetFailing(bool failing);

  bool Protect(const std::vector<std::uint8_t>& data, const std::vector<std::uint8_t>& entropy,
               std::vector<std::uint8_t>* blob) override;
  bool Unprotect(const std::vector<std::uint8_t>& blob, const std::vector<std::uint8_t>& entropy,
                 std::vector<std::uint8_t>* data) override;

  struct User;

 private:
  explicit CInMemoryDataProtector(std::shared_ptr<User> user);

  std::shared_ptr<User> m_spUser;
};

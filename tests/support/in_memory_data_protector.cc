#include "tests/support/in_memory_data_protector.h"

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

namespace {
std::atomic<std::uint64_t> g_nNextUser{1};
}  // namespace

struct CInMemoryDataProtector::User {
  std::mutex mutex;
  const std::uint64_t nUser = g_nNextUser++;
  bool bFailing = false;
  std::uint64_t nNextSerial = 1;
  // What each blob sealed: the entropy and the data.
  std::map<std::vector<std::uint8_t>,
           std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>>
      sealed;
};

CInMemoryDataProtector::CInMemoryDataProtector() : m_spUser(std::make_shared<User>()) {}

CInMemoryDataProtector::CInMemoryDataProtector(std::shared_ptr<User> user)
    : m_spUser(std::move(user)) {}

CInMemoryDataProtector::~CInMemoryDataProtector() = default;

std::unique_ptr<CInMemoryDataProtector> CInMemoryDataProtector::SameUser() const {
  return std::unique_ptr<CInMemoryDataProtector>(new CInMemoryDataProtector(m_spUser));
}

void CInMemoryDataProtector::SetFailing(bool failing) {
  std::lock_guard<std::mutex> lock(m_spUser->mutex);
  m_spUser->bFailing = failing;
}

bool CInMemoryDataProtector::Protect(const std::vector<std::uint8_t>& data,
                                     const std::vector<std::uint8_t>& entropy,
                                     std::vector<std::uint8_t>* blob) {
  blob->clear();
  std::lock_guard<std::mutex> lock(m_spUser->mutex);
  if (m_spUser->bFailing) {
    return false;
  }
  // The user and a serial number make every blob different; the data is masked so that it
  // never shows in clear text.
  std::vector<std::uint8_t> sealed{'M'};
  for (const std::uint64_t number : {m_spUser->nUser, m_spUser->nNextSerial++}) {
    for (int i = 0; i < 8; ++i) {
      sealed.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    }
  }
  for (std::uint8_t byte : data) {
    sealed.push_back(byte ^ 0x5A);
  }
  m_spUser->sealed[sealed] = {entropy, data};
  *blob = std::move(sealed);
  return true;
}

bool CInMemoryDataProtector::Unprotect(const std::vector<std::uint8_t>& blob,
                                       const std::vector<std::uint8_t>& entropy,
                                       std::vector<std::uint8_t>* data) {
  data->clear();
  std::lock_guard<std::mutex> lock(m_spUser->mutex);
  const auto found = m_spUser->sealed.find(blob);
  if (m_spUser->bFailing || found == m_spUser->sealed.end() || found->second.first != entropy) {
    return false;
  }
  *data = found->second.second;
  return true;
}

// The data-protection contract, run against the platform's protector (AES-GCM with a key file,
// or DPAPI) and the in-memory protector tests use.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "common/logger.h"
#include "tests/platform/native_adapters.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kEntropy = {'v', 'q', 'b', 'n', 'x', 't', 'r', 'K'};

class DataProtectorContractTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      NativeProtectors protectors = MakeNativeProtectors(m_temp.Path(), m_logger);
      m_sameUser = protectors.sameUser;
      m_otherUser = protectors.otherUser;
      m_bEveryByte = protectors.bAuthenticatesEveryByte;
    } else {
      auto ann = std::make_shared<CInMemoryDataProtector>();
      m_sameUser = [ann]() -> std::unique_ptr<IDataProtector> { return ann->SameUser(); };
      m_otherUser = [] { return std::make_unique<CInMemoryDataProtector>(); };
    }
    m_protector = m_sameUser();
  }

  Bytes Seal(const Bytes& data, const Bytes& entropy = kEntropy) {
    Bytes blob;
    EXPECT_TRUE(m_protector->Protect(data, entropy, &blob));
    return blob;
  }

  CTempFolder m_temp;
  CRecordingLogBackend m_backend;
  CLogger m_logger{"opt", &m_backend};
  std::function<std::unique_ptr<IDataProtector>()> m_sameUser;
  std::function<std::unique_ptr<IDataProtector>()> m_otherUser;
  std::unique_ptr<IDataProtector> m_protector;
  bool m_bEveryByte = true;
};

TEST_P(DataProtectorContractTest, BlobsOpenForTheSameUserAndShowNoClearText) {
  Bytes large(1000);
  for (std::size_t i = 0; i < large.size(); ++i) {
    large[i] = static_cast<std::uint8_t>('A' + i % 26);
  }
  const Bytes text = {'Z', 0, 'e', 0, 'n', 0, 0, 0};
  for (const Bytes& data : {Bytes{}, text, large}) {
    for (const Bytes& entropy : {kEntropy, Bytes{}}) {
      const Bytes blob = Seal(data, entropy);
      Bytes opened{0xEE};
      ASSERT_TRUE(m_sameUser()->Unprotect(blob, entropy, &opened)) << data.size();
      EXPECT_EQ(opened, data);
    }
  }
  const Bytes blob = Seal(large);
  EXPECT_EQ(std::search(blob.begin(), blob.end(), large.begin(), large.begin() + 16), blob.end());
  EXPECT_NE(Seal(large), blob);  // every seal differs
}

TEST_P(DataProtectorContractTest, TamperedBlobsOtherUsersAndOtherEntropyFail) {
  const Bytes data = {'s', 0, 'e', 0, 'c', 0, 0, 0};
  const Bytes blob = Seal(data);
  Bytes out{0xEE};
  // Where only the header and the sealed tail are authenticated, those are what is flipped.
  const std::size_t tail = m_bEveryByte ? 0 : blob.size() - std::min<std::size_t>(blob.size(), 48);
  for (std::size_t i = 0; i < blob.size(); ++i) {
    if (i >= 20 && i < tail) {
      continue;
    }
    Bytes tampered = blob;
    tampered[i] ^= 0x01;
    EXPECT_FALSE(m_protector->Unprotect(tampered, kEntropy, &out)) << "byte " << i;
    EXPECT_TRUE(out.empty());
  }
  Bytes shorter(blob.begin(), blob.end() - 1);
  Bytes longer = blob;
  longer.push_back(0);
  for (const Bytes& damaged : {shorter, longer, Bytes{}, Bytes{1}}) {
    if (!m_bEveryByte && damaged.size() == longer.size()) {
      continue;
    }
    EXPECT_FALSE(m_protector->Unprotect(damaged, kEntropy, &out)) << damaged.size();
  }
  EXPECT_FALSE(m_protector->Unprotect(blob, {'v', 'q', 'b', 'n', 'x', 't', 'r', 'k'}, &out));
  EXPECT_FALSE(m_protector->Unprotect(blob, {}, &out));

  if (m_otherUser) {  // one process cannot be another Windows user
    std::unique_ptr<IDataProtector> bob = m_otherUser();
    EXPECT_FALSE(bob->Unprotect(blob, kEntropy, &out));
    Bytes bobs;
    ASSERT_TRUE(bob->Protect(data, kEntropy, &bobs));
    EXPECT_FALSE(m_protector->Unprotect(bobs, kEntropy, &out));
    EXPECT_TRUE(out.empty());
  }
  ASSERT_TRUE(m_protector->Unprotect(blob, kEntropy, &out));  // the original still opens
  EXPECT_EQ(out, data);
}

std::string ProtectorName(const ::testing::TestParamInfo<bool>& info) {
  if (!info.param) {
    return "InMemory";
  }
  CLogger logger{"opt", nullptr};
  return MakeNativeProtectors(std::string(), logger).strName;
}

INSTANTIATE_TEST_SUITE_P(Protectors, DataProtectorContractTest, ::testing::Values(true, false),
                         ProtectorName);

}  // namespace

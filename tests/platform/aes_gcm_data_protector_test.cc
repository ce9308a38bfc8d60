#include "platform/openssl/aes_gcm_data_protector.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/logger.h"
#include "tests/support/file_contents.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kData = {'k', 0, 'e', 0, 'y', 0, 0, 0};
const Bytes kEntropy = {'v', 'q', 'b', 'n', 'x', 't', 'r', 'K'};

class AesGcmDataProtectorTest : public ::testing::Test {
 protected:
  std::unique_ptr<CAesGcmDataProtector> Make() {
    return std::make_unique<CAesGcmDataProtector>(m_strKey, m_logger);
  }

  CTempFolder m_temp;
  std::string m_strKey = m_temp.Path() + "/config/Morvane/Zenlet/protection.key";
  CRecordingLogBackend m_backend;
  CLogger m_logger{"opt", &m_backend};
};

TEST_F(AesGcmDataProtectorTest, TheFirstSealMakesAPrivateKeyAndTheBlobFollowsItsLayout) {
  Bytes out;
  EXPECT_FALSE(Make()->Unprotect(Bytes(40, 1), kEntropy, &out));
  EXPECT_FALSE(fs::exists(m_temp.Path() + "/config")) << "opening must not make a key";

  Bytes blob;
  ASSERT_TRUE(Make()->Protect(kData, kEntropy, &blob));
  EXPECT_EQ(FileMode(m_strKey), 0600u);
  EXPECT_EQ(FileMode(m_temp.Path() + "/config/Morvane/Zenlet"), 0700u);
  EXPECT_EQ(fs::file_size(m_strKey), 32u);
  EXPECT_EQ(std::distance(fs::directory_iterator(m_temp.Path() + "/config/Morvane/Zenlet"),
                          fs::directory_iterator()),
            1)
      << "no temporary file left behind";

  ASSERT_EQ(blob.size(), 1 + 12 + kData.size() + 16);
  EXPECT_EQ(blob[0], 1);
  Bytes wrongVersion = blob;
  wrongVersion[0] = 2;
  EXPECT_FALSE(Make()->Unprotect(wrongVersion, kEntropy, &out));
  ASSERT_TRUE(Make()->Unprotect(blob, kEntropy, &out));
  EXPECT_EQ(out, kData);
}

TEST_F(AesGcmDataProtectorTest, AKeyFileOthersCouldReadIsRefusedAndLeftAlone) {
  Bytes blob;
  ASSERT_TRUE(Make()->Protect(kData, kEntropy, &blob));
  const std::string key = ReadWholeFile(m_strKey);
  Bytes out;

  ASSERT_EQ(chmod(m_strKey.c_str(), 0640), 0);
  EXPECT_FALSE(Make()->Unprotect(blob, kEntropy, &out));
  EXPECT_FALSE(Make()->Protect(kData, kEntropy, &out));
  EXPECT_EQ(m_backend.Count(LogPriority::kError, "refused: open to other users"), 2);
  EXPECT_EQ(ReadWholeFile(m_strKey), key);
  EXPECT_EQ(FileMode(m_strKey), 0640u);

  ASSERT_EQ(chmod(m_strKey.c_str(), 0600), 0);  // the user puts it right: the session is back
  ASSERT_TRUE(Make()->Unprotect(blob, kEntropy, &out));
  EXPECT_EQ(out, kData);

  const std::string moved = m_strKey + ".real";
  ASSERT_EQ(rename(m_strKey.c_str(), moved.c_str()), 0);
  ASSERT_EQ(symlink(moved.c_str(), m_strKey.c_str()), 0);
  EXPECT_FALSE(Make()->Unprotect(blob, kEntropy, &out));
  EXPECT_FALSE(Make()->Protect(kData, kEntropy, &out));
  ASSERT_EQ(unlink(m_strKey.c_str()), 0);

  std::ofstream(m_strKey, std::ios::binary) << key.substr(0, 16);
  ASSERT_EQ(chmod(m_strKey.c_str(), 0600), 0);
  EXPECT_FALSE(Make()->Protect(kData, kEntropy, &out));
  EXPECT_EQ(m_backend.Count(LogPriority::kError, "not a key of 32 bytes"), 1);
  EXPECT_EQ(ReadWholeFile(m_strKey), key.substr(0, 16));
}

// Two processes start at once with no key: each makes one, and the one that renamed second
// used to replace the first, so whatever the first had sealed no longer opened.
TEST_F(AesGcmDataProtectorTest, ProtectorsRacingToMakeTheKeyAgreeOnOne) {
  for (int round = 0; round < 5; ++round) {
    std::error_code ignored;
    fs::remove(m_strKey, ignored);
    std::unique_ptr<CAesGcmDataProtector> first = Make();
    std::unique_ptr<CAesGcmDataProtector> second = Make();
    Bytes firstBlob;
    Bytes secondBlob;
    std::thread one([&] { EXPECT_TRUE(first->Protect(kData, kEntropy, &firstBlob)); });
    std::thread two([&] { EXPECT_TRUE(second->Protect(kData, kEntropy, &secondBlob)); });
    one.join();
    two.join();
    Bytes out;
    EXPECT_TRUE(Make()->Unprotect(firstBlob, kEntropy, &out));
    EXPECT_TRUE(Make()->Unprotect(secondBlob, kEntropy, &out));
  }
}

// A process killed while it made the key left its temporary key file behind, for ever.
TEST_F(AesGcmDataProtectorTest, KeyFilesLeftHalfMadeAreRemovedAtTheNextStart) {
  Bytes blob;
  ASSERT_TRUE(Make()->Protect(kData, kEntropy, &blob));
  const pid_t gone = fork();
  if (gone == 0) {
    _exit(0);
  }
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string self = std::to_string(getpid());
  const struct {
    std::string strName;
    bool bOld;
    bool bKept;
  } files[] = {
      {".new-" + std::to_string(gone) + "-0a1b2c3d", false, false},  // its maker is gone
      {".new-" + self + "-1a2b3c4d", true, false},  // an hour old: no key takes that long
      {".new-" + self + "-2a3b4c5d", false, true},  // a maker at work right now
      {".new-x-3a4b5c6d", true, true},              // not a name we give
      {".old", true, true},
  };
  for (const auto& file : files) {
    const std::string path = m_strKey + file.strName;
    std::ofstream(path) << "0123456789abcdef0123456789abcdef";
    if (file.bOld) {
      const fs::file_time_type then = fs::last_write_time(path) - std::chrono::hours(2);
      fs::last_write_time(path, then);
    }
  }

  Bytes out;
  ASSERT_TRUE(Make()->Unprotect(blob, kEntropy, &out));
  for (const auto& file : files) {
    EXPECT_EQ(fs::exists(m_strKey + file.strName), file.bKept) << file.strName;
  }
  EXPECT_EQ(out, kData);
}

}  // namespace

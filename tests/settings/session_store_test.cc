#include "settings/session_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "tests/facebook/client_harness.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/temp_folder.h"

namespace {

class SessionStoreTest : public ::testing::Test {
 protected:
  // The options as the next start of the add-in reads them from the same store and user.
  CFBOpts& Restart() {
    m_laterRegistry = m_registry.OpenAnother();
    m_laterProtector = m_protector.SameUser();
    m_later = std::make_unique<CFBOpts>(m_laterRegistry.get(), m_laterProtector.get(), nullptr);
    m_later->Load();
    return *m_later;
  }

  void GiveSession(CFacebookClient& client, const std::string& key, const std::string& secret,
                   const std::string& uid, const std::wstring& name) {
    std::lock_guard<std::mutex> lock(client.m_csState);
    client.m_session = {key, secret, "1173309298", uid};
    client.m_self.strName = name;
  }

  CInMemoryRegistry m_registry;
  CInMemoryDataProtector m_protector;
  CFBOpts m_options{&m_registry, &m_protector, nullptr};
  std::unique_ptr<CInMemoryRegistry> m_laterRegistry;
  std::unique_ptr<CInMemoryDataProtector> m_laterProtector;
  std::unique_ptr<CFBOpts> m_later;
  ClientHarness m_before;
  ClientHarness m_after;
};

TEST_F(SessionStoreTest, ALoggedInUserIsStillLoggedInAfterARestart) {
  GiveSession(m_before.client, "5f34e11bfb97c762e439e6a5-8055", "23489234289342389", "8055",
              L"Zoë Ångström");
  SaveSessionToOptions(m_before.client, m_options);
  ASSERT_EQ(m_options.Save(), kRegOk);

  LoadSessionFromOptions(m_after.client, Restart());
  EXPECT_TRUE(m_after.client.IsLoggedIn());
  std::lock_guard<std::mutex> lock(m_after.client.m_csState);
  EXPECT_EQ(m_after.client.m_session.strSessionKey, "5f34e11bfb97c762e439e6a5-8055");
  EXPECT_EQ(m_after.client.m_session.strSessionSecret, "23489234289342389");
  EXPECT_EQ(m_after.client.m_session.strUserId, "8055");
  EXPECT_EQ(m_after.client.m_session.strExpires, "");  // the expiry is not kept
  EXPECT_EQ(m_after.client.m_self.strName, L"Zoë Ångström");
}

TEST_F(SessionStoreTest, TheStoreNeverHoldsTheSessionInClearText) {
  GiveSession(m_before.client, "5f34e11bfb97c762e439e6a5-8055", "23489234289342389", "8055",
              L"Ann");
  SaveSessionToOptions(m_before.client, m_options);
  for (const std::wstring* stored : {&m_options.m_strSessionKey, &m_options.m_strSessionSecret,
                                     &m_options.m_strUid, &m_options.m_strUserName}) {
    EXPECT_FALSE(stored->empty());
    EXPECT_EQ(stored->find(L"8055"), std::wstring::npos);
    EXPECT_EQ(stored->find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
  }
}

TEST_F(SessionStoreTest, ALogoutIsStoredAndTheNextStartIsLoggedOut) {
  GiveSession(m_before.client, "key", "secret", "8055", L"Ann");
  SaveSessionToOptions(m_before.client, m_options);
  ASSERT_EQ(m_options.Save(), kRegOk);

  m_before.client.ClearSession();
  SaveSessionToOptions(m_before.client, m_options);
  ASSERT_EQ(m_options.Save(), kRegOk);

  LoadSessionFromOptions(m_after.client, Restart());
  EXPECT_FALSE(m_after.client.IsLoggedIn());
  std::lock_guard<std::mutex> lock(m_after.client.m_csState);
  EXPECT_EQ(m_after.client.m_self.strName, L"");
}

TEST_F(SessionStoreTest, ASessionSealedForAnotherUserLeavesTheClientLoggedOut) {
  GiveSession(m_before.client, "key", "secret", "8055", L"Ann");
  SaveSessionToOptions(m_before.client, m_options);
  ASSERT_EQ(m_options.Save(), kRegOk);

  CInMemoryDataProtector otherUser;
  const std::unique_ptr<CInMemoryRegistry> sameStore = m_registry.OpenAnother();
  CFBOpts theirs(sameStore.get(), &otherUser, nullptr);
  theirs.Load();
  LoadSessionFromOptions(m_after.client, theirs);
  EXPECT_FALSE(m_after.client.IsLoggedIn());
}

// One run of the add-in on the Linux store and key: the session loaded at the start and
// saved at the close, as the application object and an explorer window do it.
struct AddInRun {
  explicit AddInRun(CLogger& logger)
      : registry(CSqliteRegistry::DefaultPath(), logger),
        protector(CAesGcmDataProtector::DefaultKeyPath(), logger),
        options(&registry, &protector, &logger) {
    options.Load();
    LoadSessionFromOptions(h.client, options);
  }
  RegistryStatus Close() {
    SaveSessionToOptions(h.client, options);
    return options.Save();
  }
  std::string SessionKey() {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    return h.client.m_session.strSessionKey;
  }

  CSqliteRegistry registry;
  CAesGcmDataProtector protector;
  CFBOpts options;
  ClientHarness h;
};

// A key file at mode 0644 made the next start read no session, and its close wrote empty
// values over the sealed ones (reporting success), so once the mode was mended the session
// was gone for good.
TEST(RefusedKeyTest, TheStoredSessionOutlivesARefusedKeyAndOpensOnceItIsMended) {
  const struct {
    const char* szWhat;
    bool bNewLogin;  // the user logs in again while the key is refused
    RegistryStatus nCloseStatus;
  } cases[] = {{"closed as it started", false, kRegOk},
               {"closed after a new login", true, kRegNotSealed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.szWhat);
    CTempFolder temp;
    CScopedEnvironment config("XDG_CONFIG_HOME", (temp.Path() + "/config").c_str());
    CRecordingLogBackend backend;
    CLogger logger("opt", &backend);
    {
      AddInRun first(logger);
      first.h.LogIn();
      ASSERT_EQ(first.Close(), kRegOk);
    }
    const std::string key = CAesGcmDataProtector::DefaultKeyPath();
    ASSERT_EQ(chmod(key.c_str(), 0644), 0);
    {
      AddInRun refused(logger);
      EXPECT_FALSE(refused.h.client.IsLoggedIn());
      if (c.bNewLogin) {
        std::lock_guard<std::mutex> lock(refused.h.client.m_csState);
        refused.h.client.m_session = {"new-key", "new-secret", "", "4242"};
      }
      EXPECT_EQ(refused.Close(), c.nCloseStatus);
    }
    EXPECT_GE(backend.Count(LogPriority::kError, "refused: open to other users"), 1);
    ASSERT_EQ(chmod(key.c_str(), 0600), 0);
    AddInRun mended(logger);
    EXPECT_TRUE(mended.h.client.IsLoggedIn());
    EXPECT_EQ(mended.SessionKey(), "5f34e11bfb97c762e439e6a5-8055");
  }
}

}  // namespace

// Log in once, restart, still logged in: one process logs in to the emulated service and
// stores the session; the next start of the add-in (this test, with a fresh store, protector
// and client) loads it and polls the service with it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "settings/session_store.h"
#include "tests/integration/emulated_service.h"
#include "tests/support/temp_folder.h"

namespace {

int RunFirstStart(int port) {
  const pid_t child = fork();
  if (child == 0) {
    const std::string portText = std::to_string(port);
    execl(ZENLET_LOG_IN_ONCE, ZENLET_LOG_IN_ONCE, portText.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RestartTest, ASessionStoredByOneStartIsUsedByTheNext) {
  CTempFolder temp;
  CScopedEnvironment config("XDG_CONFIG_HOME", (temp.Path() + "/config").c_str());
  EmulatedService service(R"({"user": {"uid": "100001", "name": "Zoë Example"},
                              "notifications": {"messages": {"unread": 4}}})");
  ASSERT_EQ(RunFirstStart(service.pEmulator->Port()), 0);

  CLogger logger("opt", &service.log);
  CSqliteRegistry registry(CSqliteRegistry::DefaultPath(), logger);
  CAesGcmDataProtector protector(CAesGcmDataProtector::DefaultKeyPath(), logger);
  CFBOpts options(&registry, &protector, &logger);
  ASSERT_EQ(options.Load(), kRegOk);
  LoadSessionFromOptions(*service.pClient, options);
  ASSERT_TRUE(service.pClient->IsLoggedIn());

  service.pClient->GetNotifications();
  {
    std::lock_guard<std::mutex> lock(service.pClient->m_csState);
    EXPECT_EQ(service.pClient->m_counts.nMessages, 4);
    EXPECT_EQ(service.pClient->m_self.strName, L"Zoë Example");
  }
  const std::vector<CallRecord> calls = service.pEmulator->Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().strMethod, "facebook.fql.query");
  EXPECT_EQ(calls.back().nErrorCode, 0);
  EXPECT_EQ(service.log.Count(LogPriority::kError, ""), 0);
}

}  // namespace

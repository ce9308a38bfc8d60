// The REST client on the Windows adapters (WinInet, MSXML 3, the Win32 clock) against the
// emulated service, a Linux program that the test driver starts on loopback serving HTTPS:
// the token login, the polls, the status permission, and the service's faults reaching their
// outcomes, all over TLS. The emulator's certificate is added to the machine's trusted roots
// (the Wine prefix's) for the test's life.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "common/logger.h"
#include "facebook/call_method.h"
#include "facebook/facebook_client.h"
#include "platform/win32/msxml_parser.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/wininet_http_transport.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/trusted_roots.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The port of the emulator's "https://127.0.0.1:PORT", as the driver hands it over.
int EmulatorPort() {
  const std::string text = Environment("ZENLET_RESTEMU_ADDRESS");
  const std::size_t colon = text.rfind(':');
  return text.rfind("https://", 0) != 0 || colon == std::string::npos
             ? 0
             : std::atoi(text.c_str() + colon + 1);
}

class RestClientEmulatorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_pTrusted = new CScopedTrustedRoots(Environment("ZENLET_RESTEMU_ADDRESS_CERTIFICATE"));
  }
  static void TearDownTestSuite() {
    delete s_pTrusted;
    s_pTrusted = nullptr;
  }

  void SetUp() override {
    ASSERT_GT(m_nPort, 0) << "no https:// emulator address in ZENLET_RESTEMU_ADDRESS";
  }

  static DeploymentConfig Deployment(int port) {
    const std::string root = "https://127.0.0.1:" + std::to_string(port) + "/";
    return DeploymentForLocalService(GetDeploymentConfig(), root, root);
  }

  // A POST of `body` to `path` through WinInet, as the browser or the emulator's control
  // interface takes it; the status code, or -1.
  int Post(const std::string& path, const std::string& body, const std::string& contentType) {
    auto session = m_http.OpenSession("Mozilla/4.0 (compatible; Zenlet test browser)");
    auto connection =
        session ? session->Connect("127.0.0.1", m_nPort, HttpScheme::kHttps) : nullptr;
    auto request = connection ? connection->OpenRequest("POST", path) : nullptr;
    if (!request) {
      return -1;
    }
    request->AddHeader("Content-Type: " + contentType);
    std::int32_t status = -1;
    std::uint32_t error = 0;
    return request->Send(body) && request->QueryStatusCode(&status, &error) ? status : -1;
  }

  void LogIn() {
    FacebookCallResult result;
    ASSERT_TRUE(m_client.CreateToken(result));
    std::string token;
    {
      std::lock_guard<std::mutex> lock(m_client.m_csState);
      token = m_client.m_strAuthToken;
    }
    ASSERT_EQ(token.size(), 32u);
    ASSERT_EQ(Post("/login.php",
                   "api_key=" + GetDeploymentConfig().strApiKey + "&auth_token=" + token + "&v=1.0",
                   "application/x-www-form-urlencoded"),
              200);
    result.Reset();
    ASSERT_TRUE(m_client.GetSession(result));
  }

  static CScopedTrustedRoots* s_pTrusted;
  int m_nPort = EmulatorPort();
  CWinInetHttpTransport m_http;
  CMsxmlParser m_xml;
  CWin32Clock m_clock;
  CRecordingLogBackend m_log;
  CLogger m_logger{"fap", &m_log};
  CFacebookClient m_client{Deployment(m_nPort), m_http, m_xml, m_clock, m_logger};
};

CScopedTrustedRoots* RestClientEmulatorTest::s_pTrusted = nullptr;

TEST_F(RestClientEmulatorTest, ATokenLoginGivesASessionAndThePollsFillTheState) {
  LogIn();
  EXPECT_TRUE(m_client.IsLoggedIn());
  m_client.GetNotifications();
  m_client.QueryFriends();
  std::lock_guard<std::mutex> lock(m_client.m_csState);
  EXPECT_EQ(m_client.m_session.strUserId, "100001");
  EXPECT_EQ(m_client.m_counts.nMessages, 5);
  EXPECT_EQ(m_client.m_counts.nPokes, 1);
  EXPECT_EQ(m_client.m_counts.nShares, 2);
  EXPECT_EQ(m_client.m_counts.nFriendRequests, 2);
  EXPECT_EQ(m_client.m_counts.nGroupInvites, 1);
  EXPECT_EQ(m_client.m_counts.nWallCount, 10);
  EXPECT_EQ(m_client.m_self.strName, L"Ann Example");
  ASSERT_EQ(m_client.m_friends.size(), 2u);
  EXPECT_EQ(m_client.m_friends[0].strName, L"Cy Newest");
  EXPECT_EQ(m_client.m_friends[0].strStatusMessage, L"is on the bus & late \u00e9\u20ac");
  EXPECT_EQ(m_log.Count(LogPriority::kError, ""), 0);
}

TEST_F(RestClientEmulatorTest, AStatusPostsOnceThePermissionIsGranted) {
  LogIn();
  FacebookCallResult result;
  EXPECT_FALSE(m_client.SetStatus(L"is testing on Windows", result));
  EXPECT_EQ(result.nStatus, -6);
  EXPECT_EQ(result.strErrorCode, L"250");
  EXPECT_EQ(result.nHttpStatus, 200);

  ASSERT_EQ(Post("/authorize.php",
                 "api_key=" + GetDeploymentConfig().strApiKey +
                     "&v=1.0&ext_perm=status_update&decision=allow",
                 "application/x-www-form-urlencoded"),
            200);
  result.Reset();
  EXPECT_TRUE(m_client.SetStatus(L"is testing on Windows", result));
  EXPECT_EQ(result.nStatus, 1);
}

// The service's faults, through the emulator's control interface: a page instead of XML, an
// answer cut short, and a port where nothing listens.
TEST_F(RestClientEmulatorTest, FaultsReachTheOutcomesTheUserIsToldAbout) {
  struct Case {
    const char* kind;
    std::int32_t nHttpStatus;
    std::int32_t nOutcome;
  };
  for (const Case& fault : {Case{"http500", 500, -1}, Case{"malformed", 200, -1}}) {
    ASSERT_EQ(Post("/_emu/faults",
                   std::string(R"({"method": "auth.createToken", "kind": ")") + fault.kind +
                       R"(", "count": 1})",
                   "application/json"),
              200)
        << fault.kind;
    FacebookCallResult result;
    EXPECT_FALSE(m_client.CreateToken(result)) << fault.kind;
    EXPECT_EQ(result.nHttpStatus, fault.nHttpStatus) << fault.kind;
    EXPECT_EQ(result.nStatus, fault.nOutcome) << fault.kind;
  }

  CFacebookClient unreachable{Deployment(1), m_http, m_xml, m_clock, m_logger};
  FacebookCallResult result;
  EXPECT_FALSE(unreachable.CreateToken(result));
  EXPECT_EQ(result.nStatus, -4);
  EXPECT_EQ(m_log.Count(LogPriority::kError, "hr: hsra"), 1);
}

}  // namespace

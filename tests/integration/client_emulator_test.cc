// The REST client against the emulated service over real HTTP on loopback: the whole token
// login, every method, a session that dies mid-way, and the service's faults reaching the
// outcomes the user is told about.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/text.h"
#include "facebook/response_parser.h"
#include "monitor/activity_state.h"
#include "tests/integration/emulated_service.h"

namespace {

constexpr const char* kScenario = R"({
  "user": {"uid": "100001", "name": "Ann Example",
           "status": {"message": "is at home", "age": 7200}, "wall_count": 10},
  "friends": [
    {"uid": "2001", "name": "Bo Older", "status": {"message": "is cooking", "age": 3000}},
    {"uid": "2002", "name": "Cy Newest", "status": {"message": "is on the bus & late", "age": 60}},
    {"uid": "2003", "name": "Di Birthday", "birthday": "{today}, 1990"},
    {"uid": "2004", "name": "Ed Quiet", "birthday": "{today+40}"}
  ],
  "notifications": {
    "messages": {"unread": 5}, "pokes": {"unread": 1}, "shares": {"unread": 2},
    "friend_requests": ["3001", "3002"], "group_invites": ["4001"], "event_invites": []
  },
  "session_lifetime": 86400
})";

// A fault for the next call of `method`.
FaultSpec Fault(const std::string& method, FaultKind kind, int errorCode = 1, int delayMs = 0) {
  FaultSpec fault;
  fault.strMethod = method;
  fault.kind = kind;
  fault.nErrorCode = errorCode;
  fault.nDelayMs = delayMs;
  return fault;
}

class ClientEmulatorTest : public ::testing::Test {
 protected:
  CFacebookClient& Client() { return *m_service.pClient; }
  CRestEmulator& Emulator() { return *m_service.pEmulator; }

  void LogIn() { ASSERT_TRUE(LogInThroughTheBrowser(Client(), Emulator().Port())); }

  ActivityCounts Counts() {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    return Client().m_counts;
  }
  std::vector<std::wstring> FriendNames() {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    std::vector<std::wstring> names;
    for (const UserInfo& info : Client().m_friends) {
      names.push_back(info.strName);
    }
    return names;
  }

  EmulatedService m_service{kScenario};
};

TEST_F(ClientEmulatorTest, ALoginThroughTheBrowserGivesASessionAndEveryPollFillsTheState) {
  LogIn();
  EXPECT_TRUE(Client().IsLoggedIn());
  {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    EXPECT_EQ(Client().m_session.strUserId, "100001");
    EXPECT_EQ(Client().m_session.strSessionKey.find_first_of(" \r\n\t"), std::string::npos);
    EXPECT_FALSE(Client().m_session.strSessionSecret.empty());
  }

  Client().GetNotifications();  // with the user's own record after it
  ActivityCounts counts = Counts();
  EXPECT_EQ(counts.nMessages, 5);
  EXPECT_EQ(counts.nPokes, 1);
  EXPECT_EQ(counts.nShares, 2);
  EXPECT_EQ(counts.nFriendRequests, 2);
  EXPECT_EQ(counts.nGroupInvites, 1);
  EXPECT_EQ(counts.nEventInvites, 0);
  EXPECT_EQ(counts.nWallCount, 10);
  EXPECT_EQ(counts.nNewWallPosts, 0);
  {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    EXPECT_EQ(Client().m_self.strName, L"Ann Example");
    EXPECT_EQ(Client().m_self.strStatusMessage, L"is at home");
  }

  // Friends with a status, newest first, then the one whose birthday is this month.
  Client().QueryFriends();
  EXPECT_EQ(FriendNames(), (std::vector<std::wstring>{L"Cy Newest", L"Bo Older", L"Di Birthday"}));
  {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    EXPECT_EQ(Client().m_friends[0].strStatusMessage, L"is on the bus & late");
    EXPECT_TRUE(IsBirthdayToday(Client().m_friends[2], m_service.clock));
  }

  // Three posts on the wall between two polls.
  Emulator().Service().PostToWall(3);
  Client().GetNotifications();
  EXPECT_EQ(Counts().nNewWallPosts, 3);
  EXPECT_EQ(Counts().nWallCount, 13);

  for (const CallRecord& call : Emulator().Calls()) {
    EXPECT_TRUE(call.bSignatureValid) << call.strMethod;
    EXPECT_EQ(call.nErrorCode, 0) << call.strMethod;
  }
}

TEST_F(ClientEmulatorTest, AStatusNeedsThePermissionGrantedOnItsPage) {
  LogIn();
  FacebookCallResult result;
  EXPECT_FALSE(Client().SetStatus(L"is testing the add-in", result));
  EXPECT_EQ(result.nStatus, -6);
  EXPECT_EQ(result.strErrorCode, L"250");
  EXPECT_TRUE(Client().IsLoggedIn());

  ASSERT_TRUE(AllowStatusUpdates(Emulator().Port()));
  result.Reset();
  EXPECT_TRUE(Client().SetStatus(L"is testing the add-in", result));
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "is testing the add-in");

  result.Reset();
  EXPECT_TRUE(Client().SetStatus(std::nullopt, result));
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "");
}

TEST_F(ClientEmulatorTest, ALoginTheUserNeverFinishedIsRefused) {
  FacebookCallResult result;
  ASSERT_TRUE(Client().CreateToken(result));
  result.Reset();
  EXPECT_FALSE(Client().GetSession(result));
  EXPECT_EQ(result.nStatus, -6);
  EXPECT_EQ(result.strErrorCode, L"100");
  EXPECT_FALSE(Client().IsLoggedIn());
}

TEST_F(ClientEmulatorTest, ASessionThatExpiresMidwayClearsTheWholePicture) {
  LogIn();
  Client().GetNotifications();
  Client().QueryFriends();
  ASSERT_EQ(Counts().nMessages, 5);
  ASSERT_FALSE(FriendNames().empty());

  Emulator().Service().AdvanceClock(86400 + 1);
  Client().QueryFriends();
  EXPECT_EQ(Emulator().Calls().back().nErrorCode, 450);
  EXPECT_FALSE(Client().IsLoggedIn());
  EXPECT_EQ(Counts().nMessages, 0);
  EXPECT_TRUE(FriendNames().empty());

  // Logged out, the polls send nothing.
  const std::size_t calls = Emulator().Calls().size();
  Client().GetNotifications();
  Client().QueryFriends();
  EXPECT_EQ(Emulator().Calls().size(), calls);
}

TEST_F(ClientEmulatorTest, ASessionKeyTheServiceNoLongerKnowsLogsTheClientOut) {
  LogIn();
  Emulator().InjectFault(Fault("notifications.get", FaultKind::kErrorCode, 102));
  Client().GetNotifications();
  EXPECT_FALSE(Client().IsLoggedIn());
}

struct FaultCase {
  const char* szName;
  FaultSpec fault;
  int nStatus;      // the outcome the call ends with
  int nHttpStatus;  // -2: not checked
  const char* szErrorCode;
};

class InjectedFaultTest : public ClientEmulatorTest,
                          public ::testing::WithParamInterface<FaultCase> {};

TEST_P(InjectedFaultTest, ReachesTheMatchingOutcome) {
  LogIn();
  ASSERT_TRUE(AllowStatusUpdates(Emulator().Port()));
  Emulator().InjectFault(GetParam().fault);
  FacebookCallResult result;
  const bool posted = Client().SetStatus(L"is in a storm", result);
  EXPECT_EQ(posted, GetParam().nStatus == 1);
  EXPECT_EQ(result.nStatus, GetParam().nStatus);
  if (GetParam().nHttpStatus != -2) {
    EXPECT_EQ(result.nHttpStatus, GetParam().nHttpStatus);
  }
  EXPECT_EQ(result.strErrorCode, Utf8ToWide(GetParam().szErrorCode));
  EXPECT_FALSE(GetErrorText(result).empty());
  EXPECT_TRUE(Client().IsLoggedIn());  // none of these ends the session

  // The fault hit one call only: the next post goes through.
  result.Reset();
  EXPECT_TRUE(Client().SetStatus(L"is out of the storm", result));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InjectedFaultTest,
    ::testing::Values(
        FaultCase{"Delay", Fault("users.setStatus", FaultKind::kDelay, 1, 300), 1, 200, ""},
        FaultCase{"ErrorPage", Fault("users.setStatus", FaultKind::kHttp500), -1, 500, ""},
        FaultCase{"DroppedConnection", Fault("users.setStatus", FaultKind::kDropConnection), -1, -2,
                  ""},
        FaultCase{"Oversized", Fault("users.setStatus", FaultKind::kOversized), -1, 200, ""},
        FaultCase{"Malformed", Fault("users.setStatus", FaultKind::kMalformed), -1, 200, ""},
        FaultCase{"ServiceError", Fault("users.setStatus", FaultKind::kErrorCode, 4), -6, 200,
                  "4"}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return param.param.szName; });

TEST_F(ClientEmulatorTest, AServiceThatIsGoneGivesNoAnswer) {
  LogIn();
  Emulator().Stop();
  FacebookCallResult result;
  EXPECT_FALSE(Client().SetStatus(L"is offline", result));
  EXPECT_EQ(result.nStatus, -4);
  EXPECT_EQ(GetErrorText(result),
            L"Unable to reach Facebook servers. Please check your internet connection.");
}

// As zenlet runs the add-in on its built-in service: every API call over TLS to the
// emulator, whose certificate the client trusts; the login page on the plain port.
TEST(ClientEmulatorTlsTest, ALoginAPostAndAPollGoOverTls) {
  EmulatedService service(kScenario, EmulatedService::EApi::kTls);
  CFacebookClient& client = *service.pClient;
  CRestEmulator& emulator = *service.pEmulator;
  EXPECT_EQ(client.m_nApiPort, emulator.TlsPort());
  EXPECT_TRUE(client.m_bApiOverTls);

  ASSERT_TRUE(LogInThroughTheBrowser(client, emulator.Port()));
  emulator.Service().SetPermission("status_update", true);
  FacebookCallResult result;
  EXPECT_TRUE(client.SetStatus(L"is on a line nobody reads", result));
  client.GetNotifications();

  EXPECT_EQ(emulator.Service().Snapshot().user.status.strMessage, "is on a line nobody reads");
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    EXPECT_EQ(client.m_counts.nMessages, 5);
    EXPECT_EQ(client.m_self.strName, L"Ann Example");
  }
  std::vector<std::string> methods;
  for (const CallRecord& call : emulator.Calls()) {
    EXPECT_TRUE(call.bSignatureValid) << call.strMethod;
    methods.push_back(call.strMethod);
  }
  EXPECT_EQ(methods,
            (std::vector<std::string>{"facebook.auth.createToken", "facebook.auth.getSession",
                                      "facebook.users.setStatus", "facebook.notifications.get",
                                      "facebook.fql.query"}));
  EXPECT_EQ(service.log.Count(LogPriority::kError, ""), 0);
}

}  // namespace

#include "facebook/facebook_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/hresult.h"
#include "common/process_instance.h"
#include "platform/platform.h"
#include "tests/facebook/client_harness.h"

namespace {

std::string Users(const std::string& users) {
  return ServiceAnswer("fql_query_response", users);
}

std::string User(const std::string& uid, const std::string& extra = "") {
  return "<user><uid>" + uid + "</uid><name>F" + uid + "</name>" + extra + "</user>";
}

std::string WallCount(int count) {
  return Users(User("8055", "<wall_count>" + std::to_string(count) + "</wall_count>"));
}

// Every piece of state filled, as after a login and a few polls.
void FillState(ClientHarness& h) {
  h.LogIn();
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  h.client.m_strAuthToken = "token";
  h.client.m_counts.nMessages = 4;
  h.client.m_counts.nWallCount = 12;
  h.client.m_counts.nNewWallPosts = 2;
  h.client.m_self.strName = L"Dave";
  h.client.m_self.wBirthdayMonth = 11;
  h.client.m_friends.resize(3);
}

void ExpectLoggedOutAndEmpty(ClientHarness& h) {
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  const FacebookSession& s = h.client.m_session;
  EXPECT_EQ(h.client.m_strAuthToken + s.strSessionKey + s.strSessionSecret + s.strUserId, "");
  EXPECT_EQ(
      h.client.m_counts.nMessages + h.client.m_counts.nWallCount + h.client.m_counts.nNewWallPosts,
      0);
  EXPECT_EQ(h.client.m_self.strName, L"");
  EXPECT_EQ(h.client.m_self.wBirthdayMonth, 0);
  EXPECT_TRUE(h.client.m_friends.empty());
}

std::string Sent(ClientHarness& h, std::size_t index, const std::string& name) {
  const std::vector<std::string> bodies = h.transport.SentBodies();
  return index < bodies.size() ? FormValue(bodies[index], name) : "<not sent>";
}

struct MethodCase {
  const char* szName;
  bool (*pRun)(CFacebookClient&, FacebookCallResult&);
  const char* szRootTag;
};

// Each method as a caller runs it; those without a result report only through the state.
const MethodCase kMethods[] = {
    {"CreateToken", [](CFacebookClient& c, FacebookCallResult& r) { return c.CreateToken(r); },
     "ct: ue resp"},
    {"GetSession", [](CFacebookClient& c, FacebookCallResult& r) { return c.GetSession(r); },
     "ct: gs resp"},
    {"SetStatus", [](CFacebookClient& c, FacebookCallResult& r) { return c.SetStatus(L"x", r); },
     "ct: ss resp"},
    {"GetNotifications",
     [](CFacebookClient& c, FacebookCallResult&) { return c.GetNotifications(), false; },
     "gn: ss resp"},
    {"GetMyInfo", [](CFacebookClient& c, FacebookCallResult&) { return c.GetMyInfo(), false; },
     "gmi: ss resp"},
    {"QueryFriends",
     [](CFacebookClient& c, FacebookCallResult&) { return c.QueryFriends(), false; },
     "gmi: ss resp"},
};

std::string MethodName(const ::testing::TestParamInfo<MethodCase>& method) {
  return method.param.szName;
}

class MethodTest : public ::testing::TestWithParam<MethodCase> {};

TEST_P(MethodTest, AnotherRootIsLoggedAndRefused) {
  ClientHarness h;
  FillState(h);
  h.Answer(ReadFixture("example_user_info_xml.xml"));
  FacebookCallResult result;
  EXPECT_FALSE(GetParam().pRun(h.client, result));
  EXPECT_EQ(h.Errors(std::string(GetParam().szRootTag) + " users_getInfo_response"), 1);
  EXPECT_EQ(h.transport.SentBodies().size(), 1u);
  if (result.nStatus != 0) {
    EXPECT_EQ(result.nStatus, -2);
  }
}

INSTANTIATE_TEST_SUITE_P(Every, MethodTest, ::testing::ValuesIn(kMethods), MethodName);

class DeadSessionTest : public ::testing::TestWithParam<MethodCase> {};

TEST_P(DeadSessionTest, ExpiredOrInvalidSessionClearsEverything) {
  for (const char* code : {"102", "450"}) {
    ClientHarness h;
    FillState(h);
    h.Answer(ErrorAnswer(code, "Session key invalid or no longer valid"));
    FacebookCallResult result;
    GetParam().pRun(h.client, result);
    ExpectLoggedOutAndEmpty(h);
  }
  // Any other error leaves the session alone.
  ClientHarness h;
  FillState(h);
  h.Answer(ErrorAnswer("250", "Updating status requires the extended permission"));
  FacebookCallResult result;
  GetParam().pRun(h.client, result);
  EXPECT_TRUE(h.client.IsLoggedIn());
}

INSTANTIATE_TEST_SUITE_P(WithASession, DeadSessionTest,
                         ::testing::Values(kMethods[2], kMethods[3], kMethods[4], kMethods[5]),
                         MethodName);

// An answer a method stores, for the methods that need a session.
std::string StoredAnswer(const std::string& method) {
  if (method == "SetStatus") {
    return ReadFixture("example_users_set_status_true_xml.xml");
  }
  if (method == "GetNotifications") {
    return ReadFixture("example_notifications_get_xml.xml");
  }
  return method == "GetMyInfo" ? WallCount(30) : Users(User("1") + User("2"));
}

void LogInAsAnotherUser(ClientHarness& h) {
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  h.client.m_session = {"9f00-other-key", "other-secret", "", "4242"};
}

class LateAnswerTest : public ::testing::TestWithParam<MethodCase> {};

// A poll's answer that arrived after a logout (or a new login) was stored: the logged-out
// client then held the old user's name and counts, and the next save wrote that name beside
// an empty session. A late "session expired" logged the new session out.
TEST_P(LateAnswerTest, AnAnswerIsDroppedOnceItsSessionHasEnded) {
  const struct {
    const char* szWhat;
    void (*pMeanwhile)(ClientHarness&);
    bool bDeadSession;
  } cases[] = {
      {"logout", [](ClientHarness& h) { h.client.ClearSession(); }, false},
      {"new login", LogInAsAnotherUser, false},
      {"new login, old session expired", LogInAsAnotherUser, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.szWhat);
    ClientHarness h;
    h.LogIn();
    ScriptedHttpAnswer answer = ScriptedHttpAnswer::Body(
        c.bDeadSession ? ErrorAnswer("102", "Session key invalid or no longer valid")
                       : StoredAnswer(GetParam().szName));
    answer.onSend = [&h, &c] { c.pMeanwhile(h); };
    h.transport.Enqueue(answer);
    FacebookCallResult result;
    GetParam().pRun(h.client, result);

    EXPECT_EQ(h.transport.SentBodies().size(), 1u) << "nothing more is asked for the old session";
    EXPECT_EQ(h.log.Count(LogPriority::kDebug, "late answer dropped"), 1);
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    EXPECT_EQ(h.client.m_session.strSessionKey,
              c.pMeanwhile == LogInAsAnotherUser ? "9f00-other-key" : "");
    EXPECT_EQ(h.client.m_self.strName + h.client.m_self.strStatusMessage, L"");
    EXPECT_EQ(h.client.m_counts.nMessages + h.client.m_counts.nFriendRequests +
                  h.client.m_counts.nWallCount,
              0);
    EXPECT_TRUE(h.client.m_friends.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(WithASession, LateAnswerTest,
                         ::testing::Values(kMethods[2], kMethods[3], kMethods[4], kMethods[5]),
                         MethodName);

TEST(LoginMethodsTest, TokenAndSessionAreReadTrimmedFromRealAnswers) {
  ClientHarness h;
  FillState(h);
  h.Answer(ReadFixture("example_auth_token_xml.xml"));
  h.Answer(ReadFixture("example_get_session_xml.xml"));
  FacebookCallResult result;
  ASSERT_TRUE(h.client.CreateToken(result));
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    EXPECT_EQ(h.client.m_counts.nMessages, 0);  // a new login starts from nothing
  }
  result.Reset();
  ASSERT_TRUE(h.client.GetSession(result));
  EXPECT_TRUE(h.client.IsLoggedIn());
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    const FacebookSession& s = h.client.m_session;
    EXPECT_EQ(s.strSessionKey + "|" + s.strSessionSecret + "|" + s.strUserId + "|" + s.strExpires,
              "5f34e11bfb97c762e439e6a5-8055|ohairoflamao12345|8055|1173309298");
  }
  // Both run without a session; the token goes out as read, without its line breaks.
  EXPECT_EQ(Sent(h, 0, "session_key") + Sent(h, 1, "session_key"), "<absent><absent>");
  EXPECT_EQ(Sent(h, 1, "auth_token"), "3e4a22bb2f5ed75114b0fc9995ea85f1");
  EXPECT_EQ(Sent(h, 1, "method"), "facebook.auth.getSession");
}

TEST(LoginMethodsTest, GetSessionNeedsATokenAndGivesAWholeSession) {
  ClientHarness h;
  h.Answer(ServiceAnswer("auth_createToken_response", "\n   \n"));
  FacebookCallResult token;
  EXPECT_TRUE(h.client.CreateToken(token));  // a root of white space leaves no token
  FacebookCallResult result;
  EXPECT_FALSE(h.client.GetSession(result));
  EXPECT_EQ(result.nStatus, 0);
  EXPECT_EQ(h.Errors("gs: eat"), 1);
  EXPECT_EQ(h.transport.SentBodies().size(), 1u);

  // Regression: a session answer without a key or secret used to count as a login.
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    h.client.m_strAuthToken = "token";
  }
  h.Answer(ServiceAnswer("auth_getSession_response", "<uid>8055</uid><secret>s</secret>"));
  EXPECT_FALSE(h.client.GetSession(result));
  EXPECT_EQ(result.nStatus, -2);
  EXPECT_FALSE(h.client.IsLoggedIn());
}

// Regression guard: a GetSession that asked while the old key and secret were still set
// signed the login's request with the old session, and one without a token left the old
// session in place.
TEST(LoginMethodsTest, GetSessionDropsTheOldKeyAndSecretBeforeItAsks) {
  ClientHarness h;
  FillState(h);
  FacebookCallResult result;
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    h.client.m_strAuthToken.clear();
  }
  EXPECT_FALSE(h.client.GetSession(result));
  EXPECT_FALSE(h.client.IsLoggedIn()) << "cleared even when nothing is asked";

  FillState(h);
  bool loggedInWhileAsking = true;
  ScriptedHttpAnswer answer = ScriptedHttpAnswer::Body(ReadFixture("example_get_session_xml.xml"));
  answer.onSend = [&] { loggedInWhileAsking = h.client.IsLoggedIn(); };
  h.transport.Enqueue(answer);
  ASSERT_TRUE(h.client.GetSession(result));
  EXPECT_FALSE(loggedInWhileAsking);
  EXPECT_EQ(Sent(h, 0, "session_key"), "<absent>");
  EXPECT_EQ(Sent(h, 0, "auth_token"), "token");
  EXPECT_TRUE(h.client.IsLoggedIn());
}

TEST(SetStatusTest, TextOrClearIsPostedAndRemembered) {
  ClientHarness h;
  h.LogIn();
  h.Answer(ReadFixture("example_users_set_status_true_xml.xml"));
  h.Answer(ReadFixture("example_users_set_status_false_xml.xml"));
  FacebookCallResult posted;
  EXPECT_TRUE(h.client.SetStatus(L"is at work", posted));
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    EXPECT_EQ(h.client.m_self.strStatusMessage, L"is at work");
  }
  FacebookCallResult cleared;
  EXPECT_TRUE(h.client.SetStatus(std::nullopt, cleared));
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    EXPECT_EQ(h.client.m_self.strStatusMessage, L"");
  }
  EXPECT_EQ(Sent(h, 0, "status") + "|" + Sent(h, 0, "status_includes_verb"), "is%20at%20work|true");
  EXPECT_EQ(Sent(h, 0, "clear"), "<absent>");
  EXPECT_EQ(Sent(h, 1, "clear"), "1");
  EXPECT_EQ(Sent(h, 1, "status") + Sent(h, 1, "status_includes_verb"), "<absent><absent>");
}

TEST(PollingTest, NotificationsReplaceTheCountsThenFetchTheOwnRecord) {
  ClientHarness h;
  h.LogIn();
  std::string ownRecord = ReadFixture("example_user_info_xml.xml");
  for (std::size_t at; (at = ownRecord.find("users_getInfo_response")) != std::string::npos;) {
    ownRecord.replace(at, 22, "fql_query_response");
  }
  h.Answer(ReadFixture("example_notifications_get_xml.xml"));
  h.Answer(ownRecord);
  h.client.GetNotifications();

  EXPECT_EQ(Sent(h, 1, "query"),
            UrlEncode("SELECT uid,name,status,wall_count FROM user WHERE uid =8055"));
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  const ActivityCounts& c = h.client.m_counts;
  EXPECT_EQ(std::vector<int>({c.nMessages, c.nPokes, c.nShares, c.nFriendRequests, c.nGroupInvites,
                              c.nEventInvites, c.nWallCount, c.nNewWallPosts}),
            std::vector<int>({1, 0, 1, 3, 0, 0, 121, 0}));
  const UserInfo& self = h.client.m_self;
  EXPECT_EQ(self.strUid + L"|" + self.strName + L"|" + self.strStatusMessage + L"|" +
                self.strStatusTime + L"|" + self.strBirthday,
            L"222333|Dave Fetterman|I rule|0|November 3");
  EXPECT_EQ(self.wBirthdayMonth * 100 + self.wBirthdayDay, 1103);
}

TEST(PollingTest, FailedPollsChangeNothing) {
  ClientHarness h;
  FillState(h);
  h.transport.Enqueue(ScriptedHttpAnswer::FailAt(HttpStep::kSend));
  h.client.GetNotifications();  // no answer: no own-record query follows
  h.transport.Enqueue(ScriptedHttpAnswer::FailAt(HttpStep::kRead));
  h.client.QueryFriends();
  h.Answer(ReadFixture("no_results_fql.xml"));
  h.client.GetMyInfo();  // no "user": nothing changes
  EXPECT_EQ(h.transport.Exchanges().size(), 3u);
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  EXPECT_EQ(h.client.m_counts.nMessages, 4);
  EXPECT_EQ(h.client.m_self.strName, L"Dave");
  EXPECT_EQ(h.client.m_friends.size(), 3u);
}

TEST(PollingTest, WallGrowthCountsFromTheFirstNonZeroBaseline) {
  ClientHarness h;
  h.LogIn();
  std::vector<int> newPosts;
  for (int count : {10, 12, 11, 15, 0, 3}) {
    h.Answer(WallCount(count));
    h.client.GetMyInfo();
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    newPosts.push_back(h.client.m_counts.nNewWallPosts);
  }
  // After a 0 there is no baseline, so 3 only sets one.
  EXPECT_EQ(newPosts, (std::vector<int>{0, 2, 2, 6, 6, 6}));
}

TEST(PollingTest, FriendsListIsReplacedOnlyBySuccessfulAnswers) {
  ClientHarness h;
  h.LogIn();
  h.clock.SetToday({2026, 12, 8});
  h.Answer(Users(User("1",
                      "<status><message>Hi</message><time>1700000000</time></status>"
                      "<birthday>December 8, 1990</birthday>") +
                 User("2")));
  h.client.QueryFriends();
  EXPECT_EQ(Sent(h, 0, "query"),
            UrlEncode("SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM "
                      "friend WHERE uid1=8055) AND (strlen(status.message) > 0 OR "
                      "strpos(lower(birthday), \"dec\") >= 0)ORDER BY status.time DESC LIMIT "
                      "100 "));
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    ASSERT_EQ(h.client.m_friends.size(), 2u);
    const UserInfo& first = h.client.m_friends[0];
    EXPECT_EQ(first.strStatusMessage + L"|" + first.strStatusTime, L"Hi|1700000000");
    EXPECT_EQ(first.wBirthdayMonth * 100 + first.wBirthdayDay, 1208);
    EXPECT_EQ(h.client.m_friends[1].strName, L"F2");
  }
  std::string many;
  for (int i = 0; i < 120; ++i) {
    many += User(std::to_string(i));
  }
  h.Answer(Users(many));
  h.client.QueryFriends();
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    ASSERT_EQ(h.client.m_friends.size(), 100u);  // no more than the query asks for
    EXPECT_EQ(h.client.m_friends[99].strName, L"F99");
  }
  h.Answer(ReadFixture("no_results_fql.xml"));
  h.client.QueryFriends();
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  EXPECT_TRUE(h.client.m_friends.empty());
}

TEST(PollingTest, NothingIsQueriedWithoutASessionOrANumericUserId) {
  ClientHarness h;
  h.client.GetNotifications();
  h.client.GetMyInfo();
  h.client.QueryFriends();
  h.LogIn("");
  h.client.GetMyInfo();
  h.client.QueryFriends();
  EXPECT_TRUE(h.log.Lines().empty());
  // Regression: a user id from a damaged store went into the query text as it stood.
  h.LogIn("8055) OR (1=1");
  h.client.GetMyInfo();
  h.client.QueryFriends();
  EXPECT_TRUE(h.transport.Exchanges().empty());
  EXPECT_EQ(h.Errors("gmi: uid is not a number"), 1);
  EXPECT_EQ(h.Errors("qf: uid is not a number"), 1);
}

TEST(ClientTest, MonthAbbreviationFollowsTheLocalDate) {
  ClientHarness h;
  for (const auto& [month, abbrev] : std::vector<std::pair<int, std::wstring>>{
           {1, L"jan"}, {9, L"sep"}, {12, L"dec"}, {0, L"jan"}, {13, L"dec"}}) {
    h.clock.SetToday({2026, month, 1});
    EXPECT_EQ(h.client.GetMonthAbbrev(), abbrev) << month;
  }
}

// Checks from another thread, while each request is on the wire, that the lock is free.
TEST(ClientTest, LockIsNeverHeldAcrossARequest) {
  ClientHarness h;
  std::atomic<int> freeDuringSend{0};
  for (const std::string& answer :
       {ReadFixture("example_auth_token_xml.xml"), ReadFixture("example_get_session_xml.xml"),
        ReadFixture("example_users_set_status_true_xml.xml"),
        ReadFixture("example_notifications_get_xml.xml"), WallCount(4), Users(User("1"))}) {
    ScriptedHttpAnswer scripted = ScriptedHttpAnswer::Body(answer);
    scripted.onSend = [&] {
      std::thread([&] {
        if (h.client.m_csState.try_lock()) {
          h.client.m_csState.unlock();
          ++freeDuringSend;
        }
      }).join();
    };
    h.transport.Enqueue(scripted);
  }
  FacebookCallResult result;
  EXPECT_TRUE(h.client.CreateToken(result));
  EXPECT_TRUE(h.client.GetSession(result));
  h.client.SetStatus(L"x", result);
  h.client.GetNotifications();
  h.client.QueryFriends();
  EXPECT_EQ(h.transport.Pending(), 0u);
  EXPECT_EQ(freeDuringSend.load(), 6);
}

// A worker polling while the main thread logs out and in and reads the state.
TEST(ClientTest, PollingAndLoggingOutRaceSafely) {
  ClientHarness h;
  h.LogIn();
  for (int i = 0; i < 60; ++i) {
    h.Answer(i % 3 == 0   ? ReadFixture("example_notifications_get_xml.xml")
             : i % 3 == 1 ? WallCount(i)
                          : Users(User("1") + User("2")));
  }
  std::thread worker([&] {
    while (h.transport.Pending() > 0) {
      h.client.GetNotifications();
      h.client.QueryFriends();
    }
  });
  for (int i = 0; h.transport.Pending() > 0; ++i) {
    if (i % 5 == 0) {
      h.client.ClearSession();
      h.LogIn();
    }
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    EXPECT_LE(h.client.m_friends.size(), 2u);
  }
  worker.join();
}

// A test that wired the process client to its own transport left the accessor pointing at
// destroyed objects for every later test; wiring is now scoped.
TEST(ClientTest, TheProcessClientIsTheOneWiredUntilItsWiringEnds) {
  EXPECT_THROW(GetFacebookClient(), CHResultError);
  {
    ClientHarness h;
    CProcessInstance<CFacebookClient> wiring(h.client);
    EXPECT_EQ(&GetFacebookClient(), &h.client);
    h.transport.Enqueue(ScriptedHttpAnswer::Body(ReadFixture("example_auth_token_xml.xml")));
    FacebookCallResult result;
    EXPECT_TRUE(GetFacebookClient().CreateToken(result));
    EXPECT_EQ(h.transport.Exchanges().size(), 1u);
  }
  EXPECT_THROW(GetFacebookClient(), CHResultError);
}

}  // namespace

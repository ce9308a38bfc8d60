// Faults, the control interface and the site pages.
#include <chrono>
#include <nlohmann/json.hpp>
#include <tuple>

#include "tests/http_front/raw_http_client.h"
#include "tests/restemu/emulator_fixture.h"

namespace {

FaultSpec Fault(const char* method, FaultKind kind, int count = 1) {
  FaultSpec fault;
  fault.strMethod = method;
  fault.kind = kind;
  fault.nCount = count;
  return fault;
}

class CControlTest : public CEmulatorTest {
 protected:
  // POSTs a JSON control request and returns the status and the answer.
  std::pair<int, nlohmann::json> Control(const std::string& path, const nlohmann::json& body) {
    auto result = Client().Http().Post(("/_emu/" + path).c_str(), body.dump(), "application/json");
    EXPECT_TRUE(result);
    if (!result) {
      return {0, nullptr};
    }
    return {result->status, nlohmann::json::parse(result->body)};
  }
};

TEST_F(CControlTest, FaultsHitTheNextCallsOfTheirMethodOnly) {
  Client().LogIn();
  Emulator().InjectFault(Fault("notifications.get", FaultKind::kHttp500, 2));

  for (int i = 0; i < 2; ++i) {
    auto failed = Client().Call("facebook.notifications.get");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 500);
    EXPECT_NE(failed->body.find("<h1>Internal Server Error</h1>"), std::string::npos);
    EXPECT_FALSE(CXmlAnswer(failed->body).IsWellFormed() &&
                 CXmlAnswer(failed->body).RootName() == "notifications_get_response");
  }
  // Another method is not hit, and the third call is served again.
  EXPECT_EQ(CallXml("facebook.users.hasAppPermission", {{"ext_perm", "status_update"}}).Text("/*"),
            "0");
  EXPECT_EQ(CallXml("facebook.notifications.get").RootName(), "notifications_get_response");

  const std::vector<CallRecord> calls = Emulator().Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[2].strFault, "http500");
  EXPECT_EQ(calls[2].strMethod, "facebook.notifications.get");
  EXPECT_TRUE(calls[2].bSignatureValid);
  EXPECT_EQ(calls[5].strFault, "");
}

TEST_F(CControlTest, EachFaultKindBreaksTheAnswerItsOwnWay) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);

  // An error code in the service's shape; the call is not carried out.
  FaultSpec unavailableFault = Fault("*", FaultKind::kErrorCode);
  unavailableFault.nErrorCode = 2;
  Emulator().InjectFault(unavailableFault);
  const CXmlAnswer unavailable =
      CallXml("facebook.users.setStatus", {{"status", "is lost"}, {"status_includes_verb", "1"}});
  EXPECT_EQ(unavailable.Text("//fb:error_code"), "2");
  EXPECT_EQ(unavailable.Text("//fb:error_msg"), "Service temporarily unavailable");
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "");

  // Malformed: the answer is no longer XML.
  Emulator().InjectFault(Fault("facebook.notifications.get", FaultKind::kMalformed));
  auto malformed = Client().Call("facebook.notifications.get");
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->status, 200);
  EXPECT_FALSE(CXmlAnswer(malformed->body).IsWellFormed());
  EXPECT_NE(malformed->body.find("<notifications_get_response"), std::string::npos);

  // Oversized: well-formed, and at least the size asked for.
  Emulator().InjectFault(Fault("facebook.notifications.get", FaultKind::kOversized));
  auto oversized = Client().Call("facebook.notifications.get");
  ASSERT_TRUE(oversized);
  EXPECT_GE(oversized->body.size(), 9u * 1024 * 1024);
  EXPECT_EQ(CXmlAnswer(oversized->body).Text("//fb:messages/fb:unread"), "5");

  // Dropped mid-body: the client never gets the whole answer, though the call was done.
  Emulator().InjectFault(Fault("facebook.users.setStatus", FaultKind::kDropConnection));
  auto dropped = Client().Call("facebook.users.setStatus",
                               {{"status", "is cut off"}, {"status_includes_verb", "1"}});
  EXPECT_FALSE(dropped);
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "is cut off");

  // Delayed: the answer is whole, only late.
  FaultSpec delay = Fault("facebook.notifications.get", FaultKind::kDelay);
  delay.nDelayMs = 300;
  Emulator().InjectFault(delay);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CallXml("facebook.notifications.get").RootName(), "notifications_get_response");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(CControlTest, TheHttpControlInterfaceChangesTheWorld) {
  Client().LogIn();
  EXPECT_EQ(Control("wall", {{"posts", 4}}).first, 200);
  EXPECT_EQ(
      Control("status", {{"uid", "5003"}, {"status", {{"message", "is new"}, {"age", 5}}}}).first,
      200);
  EXPECT_EQ(Control("notifications", {{"pokes", {{"unread", 3}}}, {"group_invites", {7, 8}}}).first,
            200);

  const CXmlAnswer own = CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}});
  EXPECT_EQ(own.Text("//fb:wall_count"), "14");
  const CXmlAnswer friends = CallXml("facebook.fql.query", {{"query", kFriendsQuery}});
  EXPECT_EQ(friends.Text("//fb:user[1]/fb:name"), "Cy March");
  EXPECT_EQ(friends.Text("//fb:user[1]/fb:status/fb:time"), std::to_string(kTestNow - 5));
  const CXmlAnswer notifications = CallXml("facebook.notifications.get");
  EXPECT_EQ(notifications.Text("//fb:pokes/fb:unread"), "3");
  EXPECT_EQ(notifications.Text("//fb:messages/fb:unread"), "5");  // untouched
  EXPECT_EQ(notifications.Count("//fb:group_invites/fb:gid"), 2);

  EXPECT_EQ(
      Control("faults", {{"method", "fql.query"}, {"kind", "error"}, {"error_code", 1}}).first,
      200);
  EXPECT_EQ(CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}}).Text("//fb:error_code"),
            "1");

  EXPECT_EQ(Control("permissions", {{"name", "status_update"}, {"granted", true}}).first, 200);
  EXPECT_EQ(CallXml("facebook.users.hasAppPermission", {{"ext_perm", "status_update"}}).Text("/*"),
            "1");
  EXPECT_EQ(Control("permissions", {{"name", "status_update"}, {"granted", false}}).first, 200);
  EXPECT_EQ(CallXml("facebook.users.setStatus", {{"clear", "true"}}).Text("//fb:error_code"),
            "250");

  EXPECT_EQ(Control("sessions/expire", nlohmann::json::object()).second["expired"], 1);
  EXPECT_EQ(CallXml("facebook.notifications.get").Text("//fb:error_code"), "450");

  auto calls = Client().Http().Get("/_emu/calls");
  ASSERT_TRUE(calls);
  const nlohmann::json log = nlohmann::json::parse(calls->body)["calls"];
  EXPECT_EQ(log.back()["method"], "facebook.notifications.get");
  EXPECT_EQ(log.back()["error_code"], 450);
  EXPECT_EQ(log.back()["signature_valid"], true);
  EXPECT_EQ(Control("calls/clear", nlohmann::json::object()).first, 200);
  EXPECT_TRUE(Emulator().Calls().empty());
}

TEST_F(CControlTest, BadControlRequestsNameTheField) {
  const std::pair<const char*, nlohmann::json> cases[] = {
      {"faults", {{"method", "fql.query"}, {"kind", "explode"}}},
      {"faults", {{"method", "fql.query"}, {"kind", "delay"}, {"count", 0}}},
      {"status", {{"uid", "999"}, {"status", {{"message", "x"}}}}},
      {"clock", {{"today", "2023-02-30"}}},
      {"notifications", {{"messages", {{"unread", "many"}}}}},
  };
  const char* const fields[] = {"kind", "count", "uid", "today", "messages.unread"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto [status, answer] = Control(cases[i].first, cases[i].second);
    EXPECT_EQ(status, 400) << cases[i].second.dump();
    EXPECT_EQ(answer["error"].get<std::string>().rfind(fields[i], 0), 0u) << answer.dump();
  }
  EXPECT_EQ(Control("nothing", nlohmann::json::object()).first, 404);
  // A refused change leaves the world as it was.
  EXPECT_EQ(Emulator().Service().Snapshot().notifications.messages.nUnread, 5);
}

// Before: one call whose parameter held bytes that are not UTF-8 made /_emu/calls and
// /_emu/state answer 500 with no body until the log was cleared.
TEST_F(CControlTest, BytesThatAreNotUtf8ComeBackReplacedInTheControlViews) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);
  EXPECT_EQ(
      CallXml("facebook.users.setStatus", {{"status", "at \xFF"}, {"status_includes_verb", "1"}})
          .Text("/*"),
      "1");
  ASSERT_TRUE(Client().Call("facebook.notifications.get", {{"x", "\xFF"}}));

  auto calls = Client().Http().Get("/_emu/calls");
  ASSERT_TRUE(calls);
  ASSERT_EQ(calls->status, 200);
  const nlohmann::json last = nlohmann::json::parse(calls->body)["calls"].back();
  bool bFound = false;
  for (const nlohmann::json& param : last["params"]) {
    bFound = bFound || (param["key"] == "x" && param["value"] == "\xEF\xBF\xBD");
  }
  EXPECT_TRUE(bFound) << last.dump();

  auto state = Client().Http().Get("/_emu/state");
  ASSERT_TRUE(state);
  ASSERT_EQ(state->status, 200);
  EXPECT_EQ(nlohmann::json::parse(state->body)["state"]["user"]["status"]["message"],
            "at \xEF\xBF\xBD");
}

// Before: a number out of range or bytes that are not UTF-8 answered 500 with no body, and
// an empty session key expired every session.
TEST_F(CControlTest, MalformedControlRequestsAreRefusedNamingTheField) {
  Client().LogIn();
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"/_emu/wall", R"({"posts": 1e400})", "posts: number out of range"},
      {"/_emu/notifications", R"({"messages": {"unread": -1e999}})",
       "messages.unread: number out of range"},
      {"/_emu/status", "{\"uid\": \"5003\", \"status\": {\"message\": \"\xFF\"}}",
       "status.message: not valid UTF-8"},
      {"/_emu/notifications", "{\"friend_requests\": [1, \"\xC3\"]}",
       "friend_requests[1]: not valid UTF-8"},
      {"/_emu/%FF", "{}", "path: not valid UTF-8"},
      {"/_emu/sessions/expire", R"({"session_key": ""})", "session_key: expected a session key"},
  };
  for (const auto& [path, body, error] : cases) {
    CRawConnection connection(Emulator().Port());
    connection.Send(RawPost(path, body, "", "application/json"));
    const auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->nStatus, 400) << path << " " << body;
    const nlohmann::json document = nlohmann::json::parse(answer->strBody, nullptr, false);
    ASSERT_TRUE(document.is_object()) << answer->strBody;
    EXPECT_EQ(document["ok"], false);
    EXPECT_EQ(document["error"].get<std::string>().rfind(error, 0), 0u) << document.dump();
  }
  const ServiceSnapshot world = Emulator().Service().Snapshot();
  EXPECT_EQ(world.nLiveSessions, 1u);
  EXPECT_EQ(world.nWallCount, 10);
  EXPECT_EQ(world.notifications.messages.nUnread, 5);
}

TEST_F(CControlTest, TheClockControlsExpiryAndBirthdays) {
  Client().LogIn();
  EXPECT_EQ(Control("clock", {{"advance", 3599}}).first, 200);
  EXPECT_EQ(CallXml("facebook.notifications.get").RootName(), "notifications_get_response");
  EXPECT_EQ(Control("clock", {{"today", "2024-01-01"}, {"advance", 1}}).first, 200);
  EXPECT_EQ(CallXml("facebook.notifications.get").Text("//fb:error_code"), "450");

  auto state = Client().Http().Get("/_emu/state");
  ASSERT_TRUE(state);
  const nlohmann::json world = nlohmann::json::parse(state->body)["state"];
  EXPECT_EQ(world["now"], kTestNow + 3600);
  EXPECT_EQ(world["today"], "2024-01-01");
  EXPECT_EQ(world["friends"][0]["birthday"], "January 1, 1990");
  EXPECT_EQ(world["live_sessions"], 0);

  // Sessions made after a lifetime of 0 never expire.
  EXPECT_EQ(Control("clock", {{"session_lifetime", 0}}).first, 200);
  Client().strSessionKey.clear();
  Client().strSessionSecret.clear();
  Client().LogIn();
  EXPECT_EQ(Control("clock", {{"advance", 400 * 86400}}).first, 200);
  EXPECT_EQ(CallXml("facebook.notifications.get").RootName(), "notifications_get_response");
}

TEST_F(CControlTest, SitePagesAndThePermissionPageWork) {
  auto get = [&](const char* path) { return Client().Http().Get(path); };
  auto home = get("/");
  ASSERT_TRUE(home);
  EXPECT_NE(home->body.find("Ada Tester"), std::string::npos);
  EXPECT_NE(get("/inbox/")->body.find("5 unread messages"), std::string::npos);
  auto requests = get("/reqs.php");
  for (const char* anchor : {"id=\"friend\"", "id=\"group\"", "id=\"event\"", "2231342839"}) {
    EXPECT_NE(requests->body.find(anchor), std::string::npos) << anchor;
  }
  EXPECT_NE(get("/wall.php")->body.find("10 posts"), std::string::npos);
  auto profile = get("/profile.php?id=5004");
  EXPECT_EQ(profile->status, 200);
  EXPECT_NE(profile->body.find("Di Later is out"), std::string::npos);
  EXPECT_EQ(get("/profile.php?id=777")->status, 404);
  EXPECT_EQ(
      get(("/login.php?api_key=" + Client().strApiKey + "&auth_token=nope&v=1.0").c_str())->status,
      400);

  const std::string query = "?api_key=" + Client().strApiKey + "&v=1.0&ext_perm=status_update";
  auto page = get(("/authorize.php" + query).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find(">Allow</button>"), std::string::npos);
  const std::string form =
      FormEncode({{"api_key", Client().strApiKey}, {"ext_perm", "status_update"}, {"v", "1.0"}});
  Client().Http().Post("/authorize.php", form + "&decision=deny",
                       "application/x-www-form-urlencoded");
  EXPECT_TRUE(Emulator().Service().Snapshot().aPermissions.empty());
  Client().Http().Post("/authorize.php", form + "&decision=allow",
                       "application/x-www-form-urlencoded");
  EXPECT_EQ(Emulator().Service().Snapshot().aPermissions,
            std::vector<std::string>{"status_update"});
}

}  // namespace

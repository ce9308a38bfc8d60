// The emulator as a client of the REST service sees it: over loopback HTTP, signed by the
// test's own helper, answers read with libxml2.
#include <nlohmann/json.hpp>

#include "tests/restemu/emulator_fixture.h"

namespace {

constexpr char kNamespace[] = "http://api.facebook.com/1.0/";
constexpr char kXsi[] = "http://www.w3.org/2001/XMLSchema-instance";

TEST_F(CEmulatorTest, TokenLoginThroughTheBrowserPagesGivesASession) {
  auto created = Client().Call("facebook.auth.createToken");
  ASSERT_TRUE(created);
  EXPECT_EQ(created->get_header_value("Content-Type"), "text/xml; charset=utf-8");
  const CXmlAnswer tokenAnswer(created->body);
  EXPECT_EQ(tokenAnswer.RootName(), "auth_createToken_response");
  EXPECT_EQ(tokenAnswer.RootNamespace(), kNamespace);
  const std::string token = tokenAnswer.Text("/fb:auth_createToken_response");
  ASSERT_EQ(token.size(), 32u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  // Like the real service, the token sits on a line of its own.
  EXPECT_NE(created->body.find("\n  " + token + "\n"), std::string::npos);

  // Before the user logged in, the token is no good.
  EXPECT_EQ(CallXml("facebook.auth.getSession", {{"auth_token", token}}).Text("//fb:error_code"),
            "100");

  const std::string pageQuery =
      "?api_key=" + Client().strApiKey + "&auth_token=" + token + "&v=1.0";
  auto page = Client().Http().Get(("/login.php" + pageQuery).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("Ada Tester"), std::string::npos);
  EXPECT_NE(page->body.find("value=\"Log in\""), std::string::npos);
  EXPECT_NE(page->body.find("name=\"auth_token\" value=\"" + token + "\""), std::string::npos);
  auto submitted = Client().Http().Post(
      "/login.php",
      FormEncode({{"api_key", Client().strApiKey}, {"auth_token", token}, {"v", "1.0"}}),
      "application/x-www-form-urlencoded");
  ASSERT_TRUE(submitted);
  EXPECT_EQ(submitted->status, 200);

  const CXmlAnswer session = CallXml("facebook.auth.getSession", {{"auth_token", token}});
  EXPECT_EQ(session.RootName(), "auth_getSession_response");
  const std::string key = session.Text("/fb:auth_getSession_response/fb:session_key");
  EXPECT_EQ(key.size(), 24u + 1 + 4);
  EXPECT_EQ(key.substr(24), "-5001");
  EXPECT_EQ(session.Text("//fb:uid"), "5001");
  EXPECT_EQ(session.Text("//fb:expires"), std::to_string(kTestNow + 3600));
  EXPECT_EQ(session.Text("//fb:secret").size(), 32u);

  // A token is exchanged once.
  EXPECT_EQ(CallXml("facebook.auth.getSession", {{"auth_token", token}}).Text("//fb:error_code"),
            "100");

  Client().strSessionKey = key;
  Client().strSessionSecret = session.Text("//fb:secret");
  const CXmlAnswer notifications = CallXml("facebook.notifications.get");
  EXPECT_EQ(notifications.RootName(), "notifications_get_response");
  EXPECT_EQ(notifications.Text("/fb:notifications_get_response/fb:messages/fb:unread"), "5");
  EXPECT_EQ(notifications.Count("//fb:friend_requests/fb:uid"), 2);
  EXPECT_EQ(notifications.Text("//fb:friend_requests/fb:uid[1]"), "2231342839");
  EXPECT_EQ(notifications.Count("//fb:group_invites/fb:gid"), 0);
}

struct ErrorCase {
  const char* szName;
  int nCode;
  const char* szMessage;
};

// Every check answers in the service's error shape, in the service's order.
TEST_F(CEmulatorTest, EachCheckAnswersWithItsErrorInTheServiceShape) {
  Client().LogIn();
  CallXml("facebook.notifications.get");  // the session's first call_id
  auto expect = [&](ErrorCase error, const ParamMap& body) {
    auto result = Client().PostForm(FormEncode(body));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << error.szName;
    const CXmlAnswer answer(result->body);
    EXPECT_EQ(answer.RootName(), "error_response") << error.szName;
    EXPECT_EQ(answer.RootNamespace(), kNamespace);
    EXPECT_EQ(answer.RootAttribute("schemaLocation", kXsi),
              std::string(kNamespace) + " " + kNamespace + "facebook.xsd");
    EXPECT_EQ(answer.Text("/fb:error_response/fb:error_code"), std::to_string(error.nCode))
        << error.szName;
    EXPECT_EQ(answer.Text("/fb:error_response/fb:error_msg"), error.szMessage) << error.szName;
    EXPECT_EQ(answer.Text("/fb:error_response/fb:request_args/@list"), "true");
    EXPECT_EQ(answer.Count("//fb:request_args/fb:arg"), static_cast<int>(body.size()));
    EXPECT_EQ(answer.Text("//fb:arg[fb:key='sig']/fb:value"), body.at("sig")) << error.szName;
  };

  ParamMap unknownMethod = Client().Signed("facebook.users.poke");
  expect({"unknown method", 3, "Unknown method"}, unknownMethod);

  ParamMap unknownKey = Client().Signed("facebook.notifications.get");
  unknownKey["api_key"] = "ffffffffffffffffffffffffffffffff";
  unknownKey["sig"] = SignForTest(unknownKey, Client().strSessionSecret);
  expect({"unknown API key", 101, "Invalid API key"}, unknownKey);

  ParamMap wrongSecret = Client().Signed("facebook.notifications.get");
  wrongSecret["sig"] = SignForTest(wrongSecret, Client().strAppSecret);
  expect({"signed with the application secret", 104, "Incorrect signature"}, wrongSecret);

  ParamMap oldCallId = Client().Signed("facebook.notifications.get");
  oldCallId["call_id"] = "1";
  oldCallId["sig"] = SignForTest(oldCallId, Client().strSessionSecret);
  expect({"call_id not growing", 103, "Call_id must be greater than previous"}, oldCallId);

  // A session the service never issued comes signed with a secret it cannot know: it is
  // refused as unknown before the signature is checked.
  ParamMap unknownSession = Client().Signed("facebook.notifications.get");
  unknownSession["session_key"] = "0123456789abcdef01234567-5001";
  unknownSession["sig"] = SignForTest(unknownSession, "a secret it never issued");
  expect({"unknown session", 102, "Session key invalid or no longer valid"}, unknownSession);

  expect(
      {"permission missing", 250, "Updating status requires the extended permission status_update"},
      Client().Signed("facebook.users.setStatus",
                      {{"status", "is testing"}, {"status_includes_verb", "true"}}));

  expect(
      {"query outside the reader", 601, "Parser error: unknown table \"page\"."},
      Client().Signed("facebook.fql.query", {{"query", "SELECT name FROM page WHERE page_id=1"}}));

  Emulator().Service().AdvanceClock(3600);
  expect({"session expired", 450, "Session key specified has passed its expiration time"},
         Client().Signed("facebook.notifications.get"));
}

// Clients sent call ids as counters or as seconds with a fraction ("1186088346.82142"); the
// service compares them as decimal numbers, per session.
TEST_F(CEmulatorTest, CallIdsMustGrowAsDecimalNumbers) {
  Client().LogIn();
  auto codeWith = [&](const std::string& callId) {
    ParamMap params = Client().Signed("facebook.notifications.get");
    params["call_id"] = callId;
    params["sig"] = SignForTest(params, Client().strSessionSecret);
    const CXmlAnswer answer(Client().PostForm(FormEncode(params))->body);
    return answer.RootName() == "error_response" ? answer.Text("//fb:error_code") : "ok";
  };
  EXPECT_EQ(codeWith("1186088346.5"), "ok");
  EXPECT_EQ(codeWith("1186088346.49"), "103");
  EXPECT_EQ(codeWith("1186088346.5"), "103");
  EXPECT_EQ(codeWith("1186088346.51"), "ok");
  EXPECT_EQ(codeWith("999999999"), "103");
  EXPECT_EQ(codeWith("00001186088347"), "ok");
  EXPECT_EQ(codeWith("12x"), "103");
  EXPECT_EQ(codeWith(""), "103");
  EXPECT_EQ(codeWith("18446744073709551615"), "ok");  // a 64-bit counter's top
}

TEST_F(CEmulatorTest, SignatureCoversEveryRawValueWhereverItTravels) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);
  const std::string status = "is at \"work\" & co = 100% + caf\xC3\xA9";

  // Changing one value after signing is caught, and so is a signature in upper case.
  ParamMap changed = Client().Signed("facebook.users.setStatus",
                                     {{"status", status}, {"status_includes_verb", "1"}});
  ParamMap tampered = changed;
  tampered["status"] = "is hacked";
  EXPECT_EQ(CXmlAnswer(Client().PostForm(FormEncode(tampered))->body).Text("//fb:error_code"),
            "104");
  ParamMap upper = changed;
  for (char& c : upper["sig"]) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  EXPECT_EQ(CXmlAnswer(Client().PostForm(FormEncode(upper))->body).Text("//fb:error_code"), "104");

  // The query string and the body are signed together; "+" in a form means a blank.
  ParamMap signedParams = Client().Signed("facebook.users.setStatus",
                                          {{"status", status}, {"status_includes_verb", "1"}});
  const std::string query = FormEncode({{"method", signedParams["method"]}, {"v", "1.0"}});
  signedParams.erase("method");
  signedParams.erase("v");
  std::string body = FormEncode(signedParams);
  auto result = Client().Http().Post(("/restserver.php?" + query).c_str(), body,
                                     "application/x-www-form-urlencoded");
  ASSERT_TRUE(result);
  EXPECT_EQ(CXmlAnswer(result->body).Text("/fb:users_setStatus_response"), "1") << result->body;

  const CXmlAnswer own = CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}});
  EXPECT_EQ(own.Text("//fb:user/fb:status/fb:message"), status);
  EXPECT_EQ(own.Text("//fb:user/fb:status/fb:time"), std::to_string(kTestNow));

  const std::vector<CallRecord> calls = Emulator().Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_FALSE(calls[calls.size() - 4].bSignatureValid);
  EXPECT_EQ(calls[calls.size() - 4].nErrorCode, 104);
  EXPECT_TRUE(calls.back().bSignatureValid);
}

TEST_F(CEmulatorTest, BooleansTakeEveryFormRealClientsSent) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);
  auto messageAfter = [&](const std::string& includesVerb) {
    const CXmlAnswer answer =
        CallXml("facebook.users.setStatus",
                {{"status", "at home"}, {"status_includes_verb", includesVerb}});
    if (answer.RootName() == "error_response") {
      return "error " + answer.Text("//fb:error_code");
    }
    return Emulator().Service().Snapshot().user.status.strMessage;
  };
  for (const char* yes : {"1", "true", "True"}) {
    EXPECT_EQ(messageAfter(yes), "at home") << yes;
  }
  for (const char* no : {"0", "false", "False", ""}) {
    EXPECT_EQ(messageAfter(no), "is at home") << no;
  }
  EXPECT_EQ(messageAfter("yes"), "error 100");

  EXPECT_EQ(CallXml("facebook.users.setStatus", {{"clear", "1"}}).Text("/*"), "1");
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "");
}

TEST_F(CEmulatorTest, TheClientsTwoQueriesReadTheOwnRecordAndTheFriendsOfTheMonth) {
  Client().LogIn();
  const CXmlAnswer own = CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}});
  EXPECT_EQ(own.RootName(), "fql_query_response");
  EXPECT_EQ(own.RootAttribute("list"), "true");
  EXPECT_EQ(own.Count("/fb:fql_query_response/fb:user"), 1);
  EXPECT_EQ(own.Text("//fb:user/fb:name"), "Ada Tester");
  EXPECT_EQ(own.Text("//fb:user/fb:wall_count"), "10");

  Emulator().Service().PostToWall(3);
  EXPECT_EQ(CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}}).Text("//fb:wall_count"),
            "13");

  // With a status, or a birthday this month; the newest status first, no status last.
  const CXmlAnswer friends = CallXml("facebook.fql.query", {{"query", kFriendsQuery}});
  ASSERT_EQ(friends.Count("/fb:fql_query_response/fb:user"), 3);
  EXPECT_EQ(friends.Text("//fb:user[1]/fb:uid"), "5004");
  EXPECT_EQ(friends.Text("//fb:user[1]/fb:status/fb:time"), std::to_string(kTestNow - 50));
  EXPECT_EQ(friends.Text("//fb:user[2]/fb:name"), "Ben Birthday");
  EXPECT_EQ(friends.Text("//fb:user[2]/fb:birthday"), "November 14, 1990");
  EXPECT_EQ(friends.Text("//fb:user[3]/fb:name"), "Ed Quiet");
  EXPECT_EQ(friends.Text("//fb:user[3]/fb:status/fb:message"), "");

  // Another month, another set.
  Emulator().Service().SetToday(CalendarDate{2024, 3, 3});
  std::string march = kFriendsQuery;
  march.replace(march.find("\"nov\""), 5, "\"mar\"");
  const CXmlAnswer inMarch = CallXml("facebook.fql.query", {{"query", march}});
  EXPECT_EQ(inMarch.Count("//fb:user"), 3);
  EXPECT_EQ(inMarch.Text("//fb:user[2]/fb:birthday"), "March 3, 1990");
  EXPECT_EQ(inMarch.Text("//fb:user[3]/fb:name"), "Cy March");
}

TEST_F(CEmulatorTest, JsonFormatGivesTheServiceShapesForEveryMethod) {
  auto json = [&](const std::string& method, ParamMap params = {}) {
    params["format"] = "JSON";
    auto result = Client().Call(method, std::move(params));
    EXPECT_TRUE(result);
    return nlohmann::json::parse(result ? result->body : "null");
  };
  const nlohmann::json token = json("facebook.auth.createToken");
  ASSERT_TRUE(token.is_string());
  ASSERT_TRUE(Emulator().Service().ApproveToken(Client().strApiKey, token.get<std::string>()));
  const nlohmann::json session =
      json("facebook.auth.getSession", {{"auth_token", token.get<std::string>()}});
  EXPECT_EQ(session["uid"], "5001");
  EXPECT_EQ(session["expires"], kTestNow + 3600);
  Client().strSessionKey = session["session_key"].get<std::string>();
  Client().strSessionSecret = session["secret"].get<std::string>();

  const nlohmann::json notifications = json("facebook.notifications.get");
  EXPECT_EQ(notifications["messages"],
            nlohmann::json({{"unread", 5}, {"most_recent", 1699990000}}));
  EXPECT_EQ(notifications["friend_requests"], nlohmann::json({2231342839, 2231511925}));
  EXPECT_EQ(notifications["event_invites"], nlohmann::json::array());

  EXPECT_EQ(json("facebook.users.hasAppPermission", {{"ext_perm", "status_update"}}), false);
  const nlohmann::json rows = json("facebook.fql.query", {{"query", kOwnRecordQuery}});
  EXPECT_EQ(
      rows,
      nlohmann::json::parse(
          R"([{"uid":5001,"name":"Ada Tester","status":{"message":"","time":0},"wall_count":10}])"));
  EXPECT_EQ(json("facebook.fql.query", {{"query", "SELECT name FROM user WHERE uid=1"}}),
            nlohmann::json::object());

  const nlohmann::json error = json("facebook.users.setStatus", {{"status", "x"}});
  EXPECT_EQ(error["error_code"], 250);
  EXPECT_EQ(error["request_args"][0],
            nlohmann::json({{"key", "api_key"}, {"value", Client().strApiKey}}));
  Emulator().Service().SetPermission("status_update", true);
  EXPECT_EQ(json("facebook.users.setStatus", {{"status", "x"}}), true);
}

TEST_F(CEmulatorTest, MultipartBodiesCarryTheParametersToo) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);
  const ParamMap params = Client().Signed(
      "users.setStatus", {{"status", "is \xE2\x9C\x93 done"}, {"status_includes_verb", "true"}});
  httplib::MultipartFormDataItems items;
  for (const auto& [name, value] : params) {
    items.push_back({name, value, "", ""});
  }
  items.push_back({"upload", "not a parameter", "photo.jpg", "image/jpeg"});
  auto result = Client().Http().Post("/restserver.php", items);
  ASSERT_TRUE(result);
  EXPECT_EQ(CXmlAnswer(result->body).Text("/fb:users_setStatus_response"), "1") << result->body;
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "is \xE2\x9C\x93 done");
  EXPECT_EQ(Emulator().Calls().back().strMethod, "facebook.users.setStatus");
}

// A status holding bytes that are no text in XML used to come back inside an answer the
// client could not parse, so one bad post broke every later poll.
TEST_F(CEmulatorTest, AnswersStayWellFormedWhateverTheStoredText) {
  Client().LogIn();
  Emulator().Service().SetPermission("status_update", true);
  CallXml("facebook.users.setStatus",
          {{"status", "bell\x07 and \xFF\xFE bad <b>&"}, {"status_includes_verb", "1"}});
  const CXmlAnswer own = CallXml("facebook.fql.query", {{"query", kOwnRecordQuery}});
  EXPECT_EQ(own.Text("//fb:status/fb:message"), "bell and \xEF\xBF\xBD\xEF\xBF\xBD bad <b>&");
}

}  // namespace

#include "facebook/response_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/text.h"
#include "facebook/xml_select.h"
#include "platform/xml_parser.h"
#include "resources/string_table.h"
#include "tests/facebook/client_harness.h"

namespace {

// Parses `answer` as if it had just been received.
FacebookCallResult Parse(ClientHarness& h, const std::string& answer) {
  FacebookCallResult result;
  result.nStatus = 1;
  result.strResponse = answer;
  ParseResponse(h.client, result);
  return result;
}

struct FixtureCase {
  const char* szFile;
  int nStatus;
  const wchar_t* szRoot;
  const wchar_t* szErrorCode;
  const wchar_t* szErrorMsg;
};

class FixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureTest, RealAnswerGivesItsOutcomeAndRoot) {
  const FixtureCase& c = GetParam();
  ClientHarness h;
  const FacebookCallResult result = Parse(h, ReadFixture(c.szFile));
  EXPECT_EQ(result.nStatus, c.nStatus);
  EXPECT_EQ(result.bstrRootName, c.szRoot);
  EXPECT_EQ(result.strErrorCode, c.szErrorCode);
  EXPECT_EQ(result.strErrorMsg, c.szErrorMsg);
  ASSERT_NE(result.pRoot, nullptr);
  EXPECT_EQ(h.Errors("pr: ec: "), c.nStatus == -6 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFixture, FixtureTest,
    ::testing::Values(
        FixtureCase{"example_auth_token_xml.xml", 1, L"auth_createToken_response", L"", L""},
        FixtureCase{"example_event_edit_name_exception_xml.xml", -6, L"error_response", L"1001",
                    L"You are no longer able to change the name of this event."},
        FixtureCase{"example_fql_for_multiple_users_and_pics.xml", 1, L"fql_query_response", L"",
                    L""},
        FixtureCase{"example_get_logged_in_user_xml.xml", 1, L"users_getLoggedInUser_response", L"",
                    L""},
        FixtureCase{"example_get_session_xml.xml", 1, L"auth_getSession_response", L"", L""},
        FixtureCase{"example_invalid_api_key_error_response.xml", -6, L"error_response", L"101",
                    L"Invalid API key"},
        FixtureCase{"example_limited_user_info_xml.xml", 1, L"users_getInfo_response", L"", L""},
        FixtureCase{"example_nil_user_info_xml.xml", 1, L"users_getInfo_response", L"", L""},
        FixtureCase{"example_notifications_get_xml.xml", 1, L"notifications_get_response", L"",
                    L""},
        FixtureCase{"example_session_expired_error_response.xml", -6, L"error_response", L"102",
                    L"Session Expired"},
        FixtureCase{"example_user_info_xml.xml", 1, L"users_getInfo_response", L"", L""},
        FixtureCase{"example_users_set_status_false_xml.xml", 1, L"users_setStatus_response", L"",
                    L""},
        FixtureCase{"example_users_set_status_true_xml.xml", 1, L"users_setStatus_response", L"",
                    L""},
        FixtureCase{"no_results_fql.xml", 1, L"fql_query_response", L"", L""}));

TEST(ResponseParserTest, ValuesOfTheRealAnswersAreReadThroughTheNamespace) {
  ClientHarness h;
  FacebookCallResult notes = Parse(h, ReadFixture("example_notifications_get_xml.xml"));
  EXPECT_EQ(SelectInt(notes.pRoot.get(), L"nfb:shares/nfb:most_recent"), 1170657686);
  EXPECT_EQ(SelectCount(notes.pRoot.get(), L"messages"), 0);  // unprefixed: no namespace

  FacebookCallResult info = Parse(h, ReadFixture("example_user_info_xml.xml"));
  std::wstring message;
  SelectTextBstr(info.pRoot.get(), L"nfb:user/nfb:status/nfb:message", message);
  EXPECT_EQ(message, L"I rule");
  EXPECT_EQ(SelectInt(info.pRoot.get(), L"nfb:user/nfb:wall_count"), 121);
}

TEST(ResponseParserTest, WhatIsNoDocumentIsMalformed) {
  ClientHarness h;
  // An empty answer is malformed without a word in the log.
  FacebookCallResult empty = Parse(h, "");
  EXPECT_EQ(empty.nStatus, -1);
  EXPECT_TRUE(h.log.Lines().empty());

  for (const char* answer :
       {"<html><head><title>Proxy error</title></head><body>Bad gateway<br></body></html>",
        "<auth_createToken_response>abc", "just text", "<?xml version=\"1.0\"?>"}) {
    h.log.Clear();
    FacebookCallResult result = Parse(h, answer);
    EXPECT_EQ(result.nStatus, -1) << answer;
    EXPECT_EQ(result.pRoot, nullptr);
    EXPECT_EQ(h.log.Count(LogPriority::kDebug, "pr: lx f"), 1) << answer;
  }
}

TEST(ResponseParserTest, ErrorAnswerWithoutItsElementsStillReportsTheError) {
  ClientHarness h;
  FacebookCallResult result = Parse(h, ServiceAnswer("error_response", ""));
  EXPECT_EQ(result.nStatus, -6);
  EXPECT_EQ(result.strErrorCode, L"");
  EXPECT_EQ(result.strErrorMsg, L"");
  EXPECT_EQ(h.Errors("pr: ec: , em: "), 1);
  // The root name is compared exactly.
  EXPECT_EQ(Parse(h, ServiceAnswer("Error_Response", "")).nStatus, 1);
}

TEST(ResponseParserTest, TextIsReadAsUtf8WhateverTheDeclarationSays) {
  ClientHarness h;
  FacebookCallResult declared =
      Parse(h, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r xmlns=\"" +
                   std::string(kServiceNamespace) + "\"><name>caf\xC3\xA9</name></r>");
  ASSERT_EQ(declared.nStatus, 1);
  std::wstring name;
  SelectTextBstr(declared.pRoot.get(), L"nfb:name", name);
  EXPECT_EQ(name, L"caf\u00e9");

  // A byte that is not UTF-8 costs one character, not the whole answer.
  FacebookCallResult broken = Parse(h, ServiceAnswer("r", "<name>caf\xE9!</name>"));
  ASSERT_EQ(broken.nStatus, 1);
  SelectTextBstr(broken.pRoot.get(), L"nfb:name", name);
  EXPECT_EQ(name, L"caf\ufffd!");
}

TEST(SelectHelpersTest, NumbersAreReadAsWcstolReadsThem) {
  const std::pair<const wchar_t*, int> cases[] = {{L"12abc", 12},
                                                  {L"", 0},
                                                  {L"abc", 0},
                                                  {L" \n\t-7", -7},
                                                  {L"+3", 3},
                                                  {L"- 3", 0},
                                                  {L"99999999999999999999", INT_MAX},
                                                  {L"-99999999999", INT_MIN}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ReadDecimal(text), value) << text;
  }
  ClientHarness h;
  FacebookCallResult result = Parse(h, ServiceAnswer("r", "<n> 42 apples</n><e/>"));
  EXPECT_EQ(SelectInt(result.pRoot.get(), L"nfb:n"), 42);
  EXPECT_EQ(SelectInt(result.pRoot.get(), L"nfb:e") + SelectInt(result.pRoot.get(), L"nfb:x") +
                SelectInt(nullptr, L"nfb:n"),
            0);
}

TEST(SelectHelpersTest, AbsentNodesAndBadExpressionsSelectNothing) {
  ClientHarness h;
  FacebookCallResult result =
      Parse(h, ServiceAnswer("r", "<l><uid>1</uid><uid>2</uid><uid>3</uid></l><e/>"));
  const IXmlNode* root = result.pRoot.get();
  EXPECT_EQ(SelectCount(root, L"nfb:l/nfb:uid"), 3);
  EXPECT_EQ(SelectCount(root, L"nfb:e/nfb:uid") + SelectCount(root, L"nfb:l/nfb:uid[") +
                SelectCount(nullptr, L"nfb:l/nfb:uid"),
            0);
  EXPECT_EQ(SelectText(root, L"nfb:l"), "123");
  EXPECT_EQ(SelectText(root, L"nfb:l/nfb:uid[") + SelectText(nullptr, L"nfb:l"), "");
  std::wstring out = L"kept";
  SelectTextBstr(nullptr, L"nfb:l", out);
  SelectTextBstr(root, L"nfb:missing", out);
  EXPECT_EQ(out, L"kept");
}

// A parser that fails the way it is told to, for the outcomes a sound document never gives.
class CFailingXmlParser : public IXmlParser {
 public:
  XmlLoadResult Load(std::string_view, const std::wstring&, const std::wstring&) override {
    return m_result;
  }
  XmlLoadResult m_result;
};

// Regression guard: each way the parser can fail has its own line, which tells the reader of
// the log which step of reading the answer failed and with what code.
TEST(ResponseParserTest, EveryParserFailureIsMalformedWithItsOwnLine) {
  const struct {
    XmlLoadResult::Outcome eOutcome;
    HRESULT hrError;
    const char* szError;  // the error line; null: the debug line "pr: lx f"
  } cases[] = {
      {XmlLoadResult::Outcome::kCreateFailed, CLASS_E_CLASSNOTAVAILABLE,
       "pr: cci failed. 0x80040111"},
      {XmlLoadResult::Outcome::kLoadFailed, E_OUTOFMEMORY, "pr: lx failed. 0x8007000e"},
      {XmlLoadResult::Outcome::kNotWellFormed, S_FALSE, nullptr},
      {XmlLoadResult::Outcome::kRootFailed, E_FAIL, "pr: gr failed. 0x80004005"},
      {XmlLoadResult::Outcome::kNoRoot, S_OK, "pr: gr failed. NULL."},
      {XmlLoadResult::Outcome::kLoaded, S_OK, "pr: gr failed. NULL."},  // loaded, no root
  };
  for (const auto& c : cases) {
    CFailingXmlParser parser;
    parser.m_result.eOutcome = c.eOutcome;
    parser.m_result.hrError = c.hrError;
    CScriptedHttpTransport transport;
    CManualClock clock;
    CRecordingLogBackend log;
    CLogger logger("fap", &log);
    CFacebookClient client(TestDeployment(), transport, parser, clock, logger);
    FacebookCallResult result;
    result.nStatus = 1;
    result.strResponse = "<r/>";
    ParseResponse(client, result);

    const std::string expected = c.szError != nullptr ? c.szError : "pr: lx f";
    EXPECT_EQ(result.nStatus, -1) << expected;
    EXPECT_EQ(result.pRoot, nullptr);
    const std::vector<LoggedLine> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u) << expected;
    EXPECT_EQ(lines[0].strMessage, expected);
    EXPECT_EQ(lines[0].ePriority, c.szError != nullptr ? LogPriority::kError : LogPriority::kDebug);
  }
}

TEST(ErrorTextTest, EveryOutcomeHasItsSentence) {
  const std::pair<int, std::wstring> plain[] = {{-1, LoadText(IDS_ERROR_MALFORMED)},
                                                {-2, LoadText(IDS_ERROR_UNEXPECTED)},
                                                {-4, LoadText(IDS_ERROR_UNREACHABLE)}};
  for (const auto& [status, text] : plain) {
    FacebookCallResult result;
    result.nStatus = status;
    EXPECT_EQ(GetErrorText(result), text);
    EXPECT_EQ(result.strMessage, text);
  }
  FacebookCallResult service;
  service.nStatus = -6;
  service.strErrorCode = L"601";
  service.strErrorMsg = L"Parser error";
  EXPECT_EQ(GetErrorText(service),
            L"Facebook server returned the following error:\n\nCode: 601\nMessage: Parser "
            L"error\n\nPlease check that you are running the latest version of Zenlet.");
  FacebookCallResult notCalled;
  EXPECT_EQ(GetErrorText(notCalled),
            L"Unable to contact Facebook servers. Please check your internet connection.\n\n"
            L"Error: 0.");
  notCalled.nStatus = -3;
  EXPECT_NE(GetErrorText(notCalled).find(L"Error: -3."), std::wstring::npos);
}

}  // namespace

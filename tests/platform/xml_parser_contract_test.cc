// The XML seam's contract, run against every parser of the platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml_parser.h"
#include "tests/platform/native_adapters.h"
#include "tests/support/temp_folder.h"

namespace {

const std::wstring kPrefix = L"nfb";
const std::wstring kUri = L"http://api.facebook.com/1.0/";
const std::string kUriText = "http://api.facebook.com/1.0/";

using ParserFactory = std::unique_ptr<IXmlParser> (*)();

std::unique_ptr<IXmlParser> MakeNativeParser() {
  return NativeXml().create();
}

class XmlParserContractTest : public ::testing::TestWithParam<ParserFactory> {
 protected:
  void SetUp() override { m_parser = GetParam()(); }

  XmlLoadResult Load(const std::string& text) { return m_parser->Load(text, kPrefix, kUri); }

  // Loads `text`; the test stops unless it loads.
  std::shared_ptr<IXmlNode> Root(const std::string& text) {
    XmlLoadResult result = Load(text);
    EXPECT_EQ(result.eOutcome, XmlLoadResult::Outcome::kLoaded) << text;
    return result.pRoot;
  }

  // The root's text when the document loads, "<not loaded>" otherwise: either is safe.
  std::wstring TextIfLoaded(const std::string& text) {
    XmlLoadResult result = Load(text);
    if (result.eOutcome != XmlLoadResult::Outcome::kLoaded) {
      return L"<not loaded>";
    }
    return result.pRoot->Text();
  }

  std::unique_ptr<IXmlParser> m_parser;
};

// Child paths and the same paths written another way select the same nodes, in the same
// order, whatever shortcut a parser takes for the simple form.
TEST_P(XmlParserContractTest, ChildPathsSelectWhatFullXPathSelects) {
  const std::shared_ptr<IXmlNode> root =
      Root("<r xmlns=\"" + kUriText +
           "\" xmlns:o=\"urn:other\"><u><s><m>1</m><m>2</m></s><s><m>3</m></s></u><o:u><s><m>x"
           "</m></s></o:u><u/><u><s><m>4</m></s><plain xmlns=\"\"><m>y</m></plain></u></r>");
  ASSERT_NE(root, nullptr);
  auto texts = [&](const std::wstring& xpath) {
    std::vector<std::shared_ptr<IXmlNode>> nodes;
    EXPECT_TRUE(root->SelectAll(xpath, &nodes)) << xpath;
    std::wstring joined;
    for (const auto& node : nodes) {
      joined += node->Text() + L";";
    }
    return joined;
  };
  for (const std::wstring xpath : {L"nfb:u/nfb:s/nfb:m", L"nfb:u/nfb:s", L"nfb:u/plain/m",
                                   L"nfb:u/plain/nfb:m", L"nfb:u/nfb:plain", L"nfb:s"}) {
    EXPECT_EQ(texts(xpath), texts(L"./" + xpath)) << xpath;
    EXPECT_EQ(texts(xpath), texts(L"child::" + xpath)) << xpath;
  }
  EXPECT_EQ(texts(L"nfb:u/nfb:s/nfb:m"), L"1;2;3;4;");
  EXPECT_EQ(texts(L"nfb:u/plain/m"), L"y;");
  EXPECT_EQ(texts(L"nfb:missing"), L"");
  EXPECT_EQ(root->SelectSingle(L"nfb:u/nfb:s/nfb:m")->Text(), L"1");
  EXPECT_EQ(root->SelectSingle(L"o:u"), nullptr);  // a prefix the parser was not given
  EXPECT_EQ(root->Name(), L"r");
  EXPECT_EQ(root->SelectSingle(L"nfb:u/nfb:s")->Name(), L"s");
  EXPECT_EQ(root->SelectSingle(L"*[local-name()='u'][2]")->Name(), L"o:u");
}

TEST_P(XmlParserContractTest, TextJoinsDescendantsAndKeepsWhiteSpace) {
  const std::shared_ptr<IXmlNode> root =
      Root("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r xmlns=\"" + kUriText +
           "\">\n  a<b>b<![CDATA[<c>]]></b><!-- not text -->d &amp; &#233; \xE2\x82\xAC\n</r>  ");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Text(), L"\n  ab<c>d & \u00e9 \u20ac\n");
}

TEST_P(XmlParserContractTest, BadExpressionsSelectNothing) {
  const std::shared_ptr<IXmlNode> root = Root("<r xmlns=\"" + kUriText + "\"><a/></r>");
  ASSERT_NE(root, nullptr);
  std::vector<std::shared_ptr<IXmlNode>> nodes;
  for (const wchar_t* xpath : {L"nfb:a[", L"undeclared:a", L"count(nfb:a)", L""}) {
    EXPECT_EQ(root->SelectSingle(xpath), nullptr) << xpath;
    EXPECT_FALSE(root->SelectAll(xpath, &nodes)) << xpath;
    EXPECT_TRUE(nodes.empty());
  }
  EXPECT_NE(root->SelectSingle(L"nfb:a"), nullptr);  // the document is still usable
}

TEST_P(XmlParserContractTest, TextThatIsNoDocumentDoesNotLoad) {
  for (const std::string& text : std::vector<std::string>{
           "", "   ", "<r>", "<r></s>", "<a/><b/>", "text", std::string("<r>\0</r>", 8),
           "<html><body>Bad gateway<br></body></html>"}) {
    const XmlLoadResult result = Load(text);
    EXPECT_NE(result.eOutcome, XmlLoadResult::Outcome::kLoaded) << text;
    EXPECT_EQ(result.pRoot, nullptr);
  }
  EXPECT_EQ(Load("<r></s>").eOutcome, XmlLoadResult::Outcome::kNotWellFormed);
}

TEST_P(XmlParserContractTest, EntitiesFromADtdAreNeverExpanded) {
  EXPECT_EQ(TextIfLoaded("<!DOCTYPE r [<!ENTITY x \"EXPANDED\">]><r>a&x;b</r>").find(L"EXPANDED"),
            std::wstring::npos);

  // A billion laughs: loads unexpanded or fails, in no time and memory worth the name.
  std::string laughs = "<!DOCTYPE r [<!ENTITY l0 \"ha\">";
  for (int i = 1; i <= 12; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) {
      laughs += "&l" + std::to_string(i - 1) + ";";
    }
    laughs += "\">";
  }
  laughs += "]><r a=\"&l12;\">&l12;</r>";
  EXPECT_LT(TextIfLoaded(laughs).size(), 100u);
}

TEST_P(XmlParserContractTest, NoExternalDtdOrEntityIsRead) {
  CTempFolder folder;
  const std::string secret = folder.Path() + "/secret.txt";
  const std::string dtd = folder.Path() + "/external.dtd";
  std::ofstream(secret) << "FILE-CONTENT";
  std::ofstream(dtd) << "<!ENTITY y \"DTD-CONTENT\">";

  EXPECT_EQ(TextIfLoaded("<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r>a&x;b</r>")
                .find(L"FILE-CONTENT"),
            std::wstring::npos);
  EXPECT_EQ(TextIfLoaded("<!DOCTYPE r SYSTEM \"file://" + dtd + "\"><r>a&y;b</r>").find(L"DTD"),
            std::wstring::npos);
}

TEST_P(XmlParserContractTest, NodesKeepTheirDocumentAlive) {
  std::shared_ptr<IXmlNode> child;
  {
    XmlLoadResult result = Load("<r xmlns=\"" + kUriText + "\"><a><b>kept</b></a></r>");
    ASSERT_NE(result.pRoot, nullptr);
    child = result.pRoot->SelectSingle(L"nfb:a");
    m_parser.reset();
  }
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->SelectSingle(L"nfb:b")->Text(), L"kept");
}

TEST_P(XmlParserContractTest, DocumentsLoadOnSeveralThreadsAtOnce) {
  auto work = [this](int id) {
    for (int i = 0; i < 100; ++i) {
      const std::string value = std::to_string(id * 1000 + i);
      XmlLoadResult result = Load("<r xmlns=\"" + kUriText + "\"><v>" + value + "</v></r>");
      ASSERT_NE(result.pRoot, nullptr);
      const std::shared_ptr<IXmlNode> node = result.pRoot->SelectSingle(L"nfb:v");
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->Text(), std::wstring(value.begin(), value.end()));
    }
  };
  std::thread first(work, 1);
  std::thread second(work, 2);
  first.join();
  second.join();
}

// Every answer of the fixture folder loads, with what the REST client reads from it.
TEST_P(XmlParserContractTest, EveryFixtureAnswerReadsAsTheClientNeedsIt) {
  struct Expected {
    std::wstring strRoot;
    std::wstring strXPath;  // its first node's text, trimmed of blanks, or the count below
    std::wstring strText;
    std::size_t nCount = 0;
  };
  const std::map<std::string, Expected> expected = {
      {"example_auth_token_xml.xml",
       {L"auth_createToken_response", L".", L"3e4a22bb2f5ed75114b0fc9995ea85f1"}},
      {"example_event_edit_name_exception_xml.xml",
       {L"error_response", L"nfb:error_code", L"1001"}},
      {"example_fql_for_multiple_users_and_pics.xml",
       {L"fql_query_response", L"nfb:user/nfb:name", L"Ari Steinberg", 2}},
      {"example_get_logged_in_user_xml.xml", {L"users_getLoggedInUser_response", L".", L"1240077"}},
      {"example_get_session_xml.xml",
       {L"auth_getSession_response", L"nfb:secret", L"ohairoflamao12345"}},
      {"example_invalid_api_key_error_response.xml",
       {L"error_response", L"nfb:error_msg", L"Invalid API key"}},
      {"example_limited_user_info_xml.xml",
       {L"users_getInfo_response", L"nfb:user/nfb:uid", L"222333"}},
      {"example_nil_user_info_xml.xml",
       {L"users_getInfo_response", L"nfb:user/nfb:name", L"Kevin Lochner"}},
      {"example_notifications_get_xml.xml",
       {L"notifications_get_response", L"nfb:friend_requests/nfb:uid", L"2231342839", 3}},
      {"example_session_expired_error_response.xml",
       {L"error_response", L"nfb:error_code", L"102"}},
      {"example_user_info_xml.xml", {L"users_getInfo_response", L"nfb:user/nfb:uid", L"222333"}},
      {"example_users_set_status_false_xml.xml", {L"users_setStatus_response", L".", L"0"}},
      {"example_users_set_status_true_xml.xml", {L"users_setStatus_response", L".", L"1"}},
      {"no_results_fql.xml", {L"fql_query_response", L"nfb:user", L"", 0}},
  };
  const auto trimmed = [](std::wstring text) {
    const std::size_t begin = text.find_first_not_of(L" \t\r\n");
    const std::size_t end = text.find_last_not_of(L" \t\r\n");
    return begin == std::wstring::npos ? std::wstring() : text.substr(begin, end - begin + 1);
  };
  std::size_t seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator("tests/fixtures/rest-answers")) {
    if (entry.path().extension() != ".xml") {
      continue;
    }
    const std::string name = entry.path().filename().string();
    const auto found = expected.find(name);
    ASSERT_NE(found, expected.end()) << "a fixture without expectations: " << name;
    const Expected& want = found->second;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::shared_ptr<IXmlNode> root = Root(text.str());
    ASSERT_NE(root, nullptr) << name;
    EXPECT_EQ(root->Name(), want.strRoot) << name;
    std::vector<std::shared_ptr<IXmlNode>> nodes;
    ASSERT_TRUE(root->SelectAll(want.strXPath, &nodes)) << name;
    if (want.strText.empty()) {
      EXPECT_EQ(nodes.size(), want.nCount) << name;
    } else {
      ASSERT_FALSE(nodes.empty()) << name;
      EXPECT_EQ(trimmed(nodes.front()->Text()), want.strText) << name;
      if (want.nCount > 0) {
        EXPECT_EQ(nodes.size(), want.nCount) << name;
      }
    }
    ++seen;
  }
  EXPECT_EQ(seen, expected.size());
}

INSTANTIATE_TEST_SUITE_P(Parsers, XmlParserContractTest, ::testing::Values(&MakeNativeParser),
                         [](const ::testing::TestParamInfo<ParserFactory>&) {
                           return NativeXml().strName;
                         });

}  // namespace

#include "resources/string_table.h"

#include <gtest/gtest.h>

#include "common/deployment.h"
#include "common/format.h"
#include "common/text.h"

namespace {

TEST(StringTableTest, EveryIdLiesInTheModuleRangeAndIsUnique) {
  const unsigned ids[] = {
#define ZENLET_STRING(name, id, text) (id),
#include "string_table.def"
#undef ZENLET_STRING
  };
  for (std::size_t i = 0; i < std::size(ids); ++i) {
    EXPECT_GE(ids[i], 100u);
    EXPECT_LE(ids[i], 129u);
    for (std::size_t j = i + 1; j < std::size(ids); ++j) {
      EXPECT_NE(ids[i], ids[j]);
    }
    EXPECT_FALSE(LoadText(ids[i]).empty()) << ids[i];
  }
}

TEST(StringTableTest, UnknownIdsGiveEmptyText) {
  EXPECT_EQ(LoadText(99), L"");
  EXPECT_EQ(LoadText(111), L"");
  EXPECT_EQ(LoadText(130), L"");
}

TEST(StringTableTest, DeploymentAddressesReachTheTexts) {
  const DeploymentConfig& config = GetDeploymentConfig();
  EXPECT_EQ(LoadText(IDS_SITE_TOOLTIP), L"Go to " + Utf8ToWide(config.strSiteAddress));
  const std::wstring about = FormatInserts(
      LoadText(IDS_ABOUT_TEXT), {LoadText(IDS_PRODUCT_TITLE), L"0.1.0.32", L"Alpha Version"});
  EXPECT_EQ(about.rfind(L"Morvane Zenlet 0.1.0.32 Alpha Version\n", 0), 0u);
  EXPECT_NE(about.find(Utf8ToWide(config.strProductPage)), std::wstring::npos);
  const std::wstring closing = L"\n\nThank you for using Morvane Zenlet.";
  ASSERT_GT(about.size(), closing.size());
  EXPECT_EQ(about.substr(about.size() - closing.size()), closing);
}

TEST(StringTableTest, ServiceErrorTextTakesCodeAndMessage) {
  EXPECT_EQ(FormatInserts(LoadText(IDS_ERROR_SERVICE), {L"4", L"Application request limit"}),
            L"Facebook server returned the following error:\n\nCode: 4\nMessage: Application "
            L"request limit\n\nPlease check that you are running the latest version of Zenlet.");
  EXPECT_EQ(
      FormatInserts(LoadText(IDS_ERROR_OTHER), {0}),
      L"Unable to contact Facebook servers. Please check your internet connection.\n\nError: 0.");
}

TEST(DeploymentTest, KeyAndSecretAreThirtyTwoLowercaseHexCharacters) {
  const DeploymentConfig& config = GetDeploymentConfig();
  for (const std::string& value : {config.strApiKey, config.strAppSecret}) {
    ASSERT_EQ(value.size(), 32u);
    EXPECT_EQ(value.find_first_not_of("0123456789abcdef"), std::string::npos) << value;
  }
  EXPECT_NE(config.strApiKey, config.strAppSecret);
  EXPECT_EQ(config.strNamespaceUri, "http://api.facebook.com/1.0/");
}

TEST(DeploymentTest, TheShippedServiceIsReachedOverTls) {
  const DeploymentConfig& config = GetDeploymentConfig();
  const std::optional<ServiceAddress> api = ParseServiceAddress(config.strApiAddress);
  ASSERT_TRUE(api.has_value()) << config.strApiAddress;
  if (IsLoopbackHost(api->strHost)) {
    GTEST_SKIP() << "a build for a service on this machine: " << config.strApiAddress;
  }
  EXPECT_TRUE(api->bTls) << config.strApiAddress;
  for (const std::string& page : {config.strLoginPage, config.strAuthorizePage}) {
    EXPECT_EQ(page.rfind("https://", 0), 0u) << page;
  }
}

TEST(DeploymentTest, ServiceAddressesAreReadWholeOrNotAtAll) {
  struct Case {
    const char* address;
    bool bTls;
    const char* host;  // nullptr: refused
    int port;
  };
  const Case cases[] = {
      {"https://api.facebook.com/", true, "api.facebook.com", 443},
      {"https://api.facebook.com", true, "api.facebook.com", 443},
      {"http://127.0.0.1:18080/", false, "127.0.0.1", 18080},
      {"https://[::1]:8443/", true, "::1", 8443},
      {"http://localhost", false, "localhost", 80},
      {"https://api.facebook.com/restserver.php", true, nullptr, 0},
      {"https://user@api.facebook.com/", true, nullptr, 0},
      {"https://api.facebook.com:0/", true, nullptr, 0},
      {"https://api.facebook.com:65536/", true, nullptr, 0},
      {"https://:443/", true, nullptr, 0},
      {"https://[::1/", true, nullptr, 0},
      {"ftp://api.facebook.com/", true, nullptr, 0},
      {"api.facebook.com", true, nullptr, 0},
  };
  for (const Case& test : cases) {
    const std::optional<ServiceAddress> parsed = ParseServiceAddress(test.address);
    ASSERT_EQ(parsed.has_value(), test.host != nullptr) << test.address;
    if (parsed) {
      EXPECT_EQ(parsed->bTls, test.bTls) << test.address;
      EXPECT_EQ(parsed->strHost, test.host) << test.address;
      EXPECT_EQ(parsed->nPort, test.port) << test.address;
    }
  }
  for (const char* host : {"localhost", "127.0.0.1", "127.1.2.3", "::1"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  }
  for (const char* host : {"api.facebook.com", "127.0.0.1.example.org", "127.0.0", "128.0.0.1",
                           "127.0.0.256", "localhost.example.org", "0.0.0.0", ""}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
  }
}

}  // namespace

// The login page address carries the service's token, which the add-in does not control.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "facebook/login_flows.h"
#include "tests/facebook/client_harness.h"

namespace {

TEST(LoginUrlTest, ARealTokenStandsAsIssuedAndAHostileOneCannotAddParameters) {
  struct Case {
    const char* token;
    const char* inAddress;
  };
  const Case cases[] = {
      {"3e4a22bb2f5ed75114b0fc9995ea85f1", "3e4a22bb2f5ed75114b0fc9995ea85f1"},
      {"x&api_key=evil&v=2.0", "x%26api_key%3Devil%26v%3D2.0"},
      {"a b#top\"><script>", "a%20b%23top%22%3E%3Cscript%3E"},
      {"", ""},
  };
  ClientHarness harness;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    {
      std::lock_guard<std::mutex> lock(harness.client.m_csState);
      harness.client.m_strAuthToken = c.token;
    }
    EXPECT_EQ(GetLoginUrl(harness.client), harness.client.m_strLoginPage +
                                               "?api_key=" + kTestApiKey +
                                               "&auth_token=" + c.inAddress + "&v=1.0");
  }
}

}  // namespace

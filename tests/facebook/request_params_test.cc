#include "facebook/request_params.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <regex>
#include <string>

#include "platform/md5.h"
#include "tests/facebook/client_harness.h"

namespace {

std::string Md5Hex(const std::string& bytes) {
  std::string hex;
  for (std::uint8_t byte : ComputeMd5(bytes)) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

TEST(RequestBodyTest, SortsByNameThenValueAsUnsignedBytesAndAppendsSigLast) {
  CFacebookParams params;
  const std::pair<const char*, const char*> pairs[] = {
      {"v", "1.0"},     {"status_includes_verb", "true"},
      {"status", "x"},  {"clear", ""},
      {"call_id", "5"}, {"b", "\xC3\xA9"},
      {"b", "z"},       {"b", "Z"},
      {"B", "a"}};
  for (const auto& [name, value] : pairs) {
    AddParam(params, name, value);
  }
  const std::string body = BuildRequestBody(params, "secret");

  // "é" sorts after every ASCII letter; a shorter name before one it prefixes; an empty value
  // is signed and sent as the name and "="; "sig" is last although it sorts before "status".
  const std::string base =
      "B=ab=Zb=zb=\xC3\xA9"
      "call_id=5clear=status=xstatus_includes_verb=truev=1.0";
  EXPECT_EQ(body,
            "B=a&b=Z&b=z&b=%C3%A9&call_id=5&clear=&status=x&status_includes_verb=true&v=1.0"
            "&sig=" +
                Md5Hex(base + "secret"));
  EXPECT_EQ(params.m_aParams.back().strName, "sig");
}

TEST(RequestBodyTest, UrlEncodingAndSignatureForm) {
  EXPECT_EQ(UrlEncode("is at work"), "is%20at%20work");
  EXPECT_EQ(UrlEncode("a+b/c=d&e"), "a%2Bb%2Fc%3Dd%26e");
  EXPECT_EQ(UrlEncode("caf\xC3\xA9"), "caf%C3%A9");
  EXPECT_EQ(UrlEncode("A-Z_a.z~0"), "A-Z_a.z~0");
  EXPECT_EQ(UrlEncode(std::string("\0\x7F\xFF%", 4)), "%00%7F%FF%25");

  const std::regex lowerHex("^[0-9a-f]{32}$");
  CFacebookParams params;
  for (const char* value : {"", "\xFF\xFE", "UPPER"}) {
    AddParam(params, "k", value);
    EXPECT_TRUE(std::regex_match(ComputeSignature(params, "ABCDEF"), lowerHex));
  }
  EXPECT_EQ(ComputeSignature(CFacebookParams(), "abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(CallIdTest, AddedOnceAndGrowsStrictlyWithTheCounterOrTheTickCount) {
  CManualClock clock;
  CCallIdSource ids(clock);
  CFacebookParams params;
  AddCallId(params, ids);
  AddCallId(params, ids);
  ASSERT_EQ(params.m_aParams.size(), 1u);
  // 1,700,000,000 s on a microsecond counter, in 10-microsecond units.
  EXPECT_EQ(params.m_aParams[0].strValue, "170000000000000");
  EXPECT_EQ(ids.MakeCallId(), "170000000000001");  // the clock has not moved
  clock.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(ids.MakeCallId(), "170000000000100");

  CManualClock noCounter;
  noCounter.SetPerformanceCounterAvailable(false);
  noCounter.Advance(std::chrono::milliseconds(5000));
  CCallIdSource tickIds(noCounter);
  EXPECT_EQ(tickIds.MakeCallId(), "5000");
  EXPECT_EQ(tickIds.MakeCallId(), "5001");
}

// The two layouts below were checked with md5sum over the raw bases, run together without
// separators and followed by the secret.
TEST(CallMethodSigningTest, BodiesMatchIndependentlyComputedLayouts) {
  ClientHarness h;
  h.Answer(ReadFixture("example_auth_token_xml.xml"));
  FacebookCallResult token;
  h.Call("facebook.auth.createToken", token);

  h.LogIn();
  h.Answer(ReadFixture("example_users_set_status_true_xml.xml"));
  FacebookCallResult status;
  EXPECT_TRUE(h.client.SetStatus(L"a+b/c=d&e caf\u00e9 100%", status));

  const std::vector<std::string> bodies = h.transport.SentBodies();
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(bodies[0],
            "api_key=0123456789abcdef0123456789abcdef&call_id=170000000000000"
            "&method=facebook.auth.createToken&v=1.0&sig=910b9359212839411c4937df964e4265");
  EXPECT_EQ(bodies[1],
            "api_key=0123456789abcdef0123456789abcdef&call_id=170000000000001"
            "&method=facebook.users.setStatus&session_key=5f34e11bfb97c762e439e6a5-8055"
            "&status=a%2Bb%2Fc%3Dd%26e%20caf%C3%A9%20100%25&status_includes_verb=true&v=1.0"
            "&sig=54c7258ecaca25e1ab9886b13aaee7e1");
}

struct SessionCase {
  const char* szKey;
  const char* szSecret;
};

class SigningSecretTest : public ::testing::TestWithParam<SessionCase> {};

// The session key decides whether "session_key" is sent; the session secret alone decides
// which secret signs.
TEST_P(SigningSecretTest, KeyAndSecretAreTestedSeparately) {
  ClientHarness h;
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    h.client.m_session.strSessionKey = GetParam().szKey;
    h.client.m_session.strSessionSecret = GetParam().szSecret;
  }
  h.Answer(ReadFixture("example_auth_token_xml.xml"));
  FacebookCallResult result;
  h.Call("facebook.auth.createToken", result);

  ASSERT_EQ(h.transport.SentBodies().size(), 1u);
  const std::string body = h.transport.SentBodies()[0];
  const std::string key = GetParam().szKey;
  const std::string secret = *GetParam().szSecret != '\0' ? GetParam().szSecret : kTestAppSecret;
  EXPECT_EQ(FormValue(body, "session_key"), key.empty() ? "<absent>" : key);
  const std::string base =
      std::string("api_key=") + kTestApiKey + "call_id=" + FormValue(body, "call_id") +
      "method=facebook.auth.createToken" + (key.empty() ? "" : "session_key=" + key) + "v=1.0";
  EXPECT_EQ(FormValue(body, "sig"), Md5Hex(base + secret));
}

INSTANTIATE_TEST_SUITE_P(EveryCombination, SigningSecretTest,
                         ::testing::Values(SessionCase{"", ""}, SessionCase{"key-1", ""},
                                           SessionCase{"", "secret-1"},
                                           SessionCase{"key-1", "secret-1"}));

}  // namespace

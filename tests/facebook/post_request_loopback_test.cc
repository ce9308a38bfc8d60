// The POST through the real libcurl transport to a server on a loopback port, for the
// outcomes only a real connection shows: refused ports, chunked bodies, stalls and floods.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "facebook/http_post.h"
#include "facebook/response_parser.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/libxml2/libxml2_parser.h"
#include "tests/facebook/client_harness.h"
#include "tests/platform/loopback_http_server.h"

namespace {

// A transport whose receive time-out is capped, so a stalled server is given up on in a
// fraction of a second instead of the product's 60.
class CCappedTimeoutTransport : public IHttpTransport {
 public:
  CCappedTimeoutTransport(IHttpTransport& inner, std::uint32_t receiveCapMs)
      : m_inner(inner), m_dwReceiveCapMs(receiveCapMs) {}

  std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) override {
    std::unique_ptr<IHttpSession> session = m_inner.OpenSession(userAgent);
    return session ? std::make_unique<CCappedSession>(std::move(session), m_dwReceiveCapMs)
                   : nullptr;
  }

 private:
  class CCappedSession : public IHttpSession {
   public:
    CCappedSession(std::unique_ptr<IHttpSession> inner, std::uint32_t capMs)
        : m_pInner(std::move(inner)), m_dwCapMs(capMs) {}
    void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) override {
      m_pInner->SetTimeouts(connectMs, std::min(receiveMs, m_dwCapMs));
    }
    std::unique_ptr<IHttpConnection> Connect(const std::string& host, int port,
                                             HttpScheme scheme) override {
      return m_pInner->Connect(host, port, scheme);
    }

   private:
    std::unique_ptr<IHttpSession> m_pInner;
    std::uint32_t m_dwCapMs;
  };

  IHttpTransport& m_inner;
  std::uint32_t m_dwReceiveCapMs;
};

class PostRequestLoopbackTest : public ::testing::Test {
 protected:
  // A client aimed at the loopback server (or at `port` on the same host).
  std::unique_ptr<CFacebookClient> Client(int port = 0) {
    DeploymentConfig config = TestDeployment();
    config.strApiAddress =
        "http://127.0.0.1:" + std::to_string(port != 0 ? port : m_server.Port()) + "/";
    return std::make_unique<CFacebookClient>(config, m_transport, m_parser, m_clock, m_logger);
  }

  FacebookCallResult Post(int port = 0) {
    FacebookCallResult result;
    PostRequest(*Client(port), "api_key=k&method=facebook.auth.createToken", result);
    return result;
  }

  int Errors(const std::string& fragment) { return m_log.Count(LogPriority::kError, fragment); }

  CLoopbackHttpServer m_server;
  CCurlHttpTransport m_curl;
  CCappedTimeoutTransport m_transport{m_curl, 300};
  CLibxml2Parser m_parser;
  CManualClock m_clock;
  CRecordingLogBackend m_log;
  CLogger m_logger{"fap", &m_log};
};

HttpScriptedAnswer Answer(std::vector<std::string> chunks, std::int32_t status = 200) {
  HttpScriptedAnswer answer;
  answer.nStatus = status;
  answer.aChunks = std::move(chunks);
  return answer;
}

TEST_F(PostRequestLoopbackTest, AnHtmlErrorPageIsAnAnswerThatThenFailsToParse) {
  const std::string html = "<html><body><h1>500 Internal Server Error</h1><br></body></html>";
  m_server.Script(Answer({html}, 500));
  FacebookCallResult result = Post();
  EXPECT_EQ(result.nStatus, 1);
  EXPECT_EQ(result.nHttpStatus, 500);
  EXPECT_EQ(result.strResponse, html);
  ParseResponse(*Client(), result);
  EXPECT_EQ(result.nStatus, -1);
  EXPECT_EQ(m_server.Requests().at(0).strBody, "api_key=k&method=facebook.auth.createToken");
}

TEST_F(PostRequestLoopbackTest, AClosedPortGivesNoAnswerAndOneErrorLine) {
  const FacebookCallResult result = Post(CLoopbackHttpServer::ClosedPort());
  EXPECT_EQ(result.nStatus, -4);
  EXPECT_EQ(result.nHttpStatus, -1);
  EXPECT_EQ(Errors(""), 1);
  EXPECT_EQ(Errors("hr: hsra failed. NULL."), 1);
}

TEST_F(PostRequestLoopbackTest, AnAnswerInManySmallPiecesIsJoinedInOrderAndParses) {
  const std::string answer = ReadFixture("example_fql_for_multiple_users_and_pics.xml");
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < answer.size(); at += 7) {
    pieces.push_back(answer.substr(at, 7));
  }
  m_server.Script(Answer(pieces));
  FacebookCallResult result = Post();
  EXPECT_EQ(result.strResponse, answer);
  ParseResponse(*Client(), result);
  EXPECT_EQ(result.nStatus, 1);
  EXPECT_EQ(result.bstrRootName, L"fql_query_response");
}

TEST_F(PostRequestLoopbackTest, ALongAnswerIsKeptWholeAndLoggedAtFourThousandBytes) {
  const std::string answer = "<r>" + std::string(12000, 'x') + "</r>";
  m_server.Script(Answer({answer}));
  const FacebookCallResult result = Post();
  EXPECT_EQ(result.strResponse, answer);
  int logged = 0;
  for (const LoggedLine& line : m_log.Lines()) {
    if (line.strMessage.rfind("hr: response: ", 0) == 0) {
      EXPECT_EQ(line.strMessage, "hr: response: " + answer.substr(0, 4000));
      ++logged;
    }
  }
  EXPECT_EQ(logged, 1);
}

TEST_F(PostRequestLoopbackTest, AServerThatStopsSendingIsGivenUpOnAndTheAnswerIsMalformed) {
  HttpScriptedAnswer stalled = Answer({"<auth_createToken_response>3e4a"});
  stalled.eEnd = HttpScriptedAnswer::EEnd::kStall;
  m_server.Script(stalled);
  const auto start = std::chrono::steady_clock::now();
  FacebookCallResult result = Post();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(result.nStatus, 1);
  EXPECT_EQ(result.strResponse, "");
  EXPECT_EQ(Errors("hr: hqda failed. NULL.") + Errors("hr: irf failed. NULL."), 1);
  ParseResponse(*Client(), result);
  EXPECT_EQ(result.nStatus, -1);
}

TEST_F(PostRequestLoopbackTest, AnEndlessAnswerIsAbandonedAtTheBound) {
  HttpScriptedAnswer flood = Answer({std::string(64 * 1024, 'z')});
  flood.eEnd = HttpScriptedAnswer::EEnd::kEndless;
  m_server.Script(flood);
  FacebookCallResult result = Post();
  EXPECT_EQ(result.strResponse, "");
  EXPECT_EQ(Errors("abandoned"), 1);
  ParseResponse(*Client(), result);
  EXPECT_EQ(result.nStatus, -1);
}

TEST_F(PostRequestLoopbackTest, AZeroByteInsideTheAnswerIsKeptAndTheAnswerFailsToParse) {
  static const char kAnswer[] = "<auth_createToken_response>ab\0cd</auth_createToken_response>";
  const std::string answer(kAnswer, sizeof(kAnswer) - 1);
  m_server.Script(Answer({answer}));
  FacebookCallResult result = Post();
  EXPECT_EQ(result.strResponse, answer);
  ParseResponse(*Client(), result);
  EXPECT_EQ(result.nStatus, -1);
}

TEST_F(PostRequestLoopbackTest, OverTlsOnlyAServerWhoseCertificateHoldsGetsTheRequest) {
  using Certificate = IHttpContractPeer::ETlsCertificate;
  const std::string token =
      "<auth_createToken_response>3e4a22bb2f5ed75114b0fc9995ea85f1"
      "</auth_createToken_response>";
  CLoopbackContractEnd end;
  end.Script(Answer({token}));
  CCurlHttpTransport curl(CLoopbackContractEnd::TrustedPem());
  const struct {
    int port;
    std::int32_t nStatus;
    const char* reason;  // in the traced reason of a failed send
  } cases[] = {
      {end.TlsPort(Certificate::kTrusted), 1, ""},
      {end.TlsPort(Certificate::kUntrusted), -4, "certificate"},
      {end.TlsPort(Certificate::kOtherName), -4, "certificate"},
      {end.Port(), -4, "TLS"},  // a server that speaks only plain HTTP
  };
  for (const auto& tried : cases) {
    CRecordingLogBackend log;
    CLogger logger("fap", &log);
    DeploymentConfig config = TestDeployment();
    config.strApiAddress = "https://127.0.0.1:" + std::to_string(tried.port) + "/";
    const CFacebookClient client(config, curl, m_parser, m_clock, logger);
    FacebookCallResult result;
    PostRequest(client, "api_key=k&method=facebook.auth.createToken", result);
    EXPECT_EQ(result.nStatus, tried.nStatus) << tried.port;
    if (tried.nStatus == 1) {
      EXPECT_EQ(result.strResponse, token);
      continue;
    }
    EXPECT_EQ(result.nHttpStatus, -1);
    EXPECT_EQ(log.Count(LogPriority::kError, ""), 1);
    EXPECT_EQ(log.Count(LogPriority::kError, "hr: hsra failed. NULL."), 1);
    EXPECT_EQ(log.Count(LogPriority::kDebug, "hr: hsra: "), 1);
    EXPECT_EQ(log.Count(LogPriority::kDebug, tried.reason), 1) << tried.port;
  }
  // Only the server whose certificate held saw the request; nothing went anywhere in clear.
  const auto requests = end.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].strBody, "api_key=k&method=facebook.auth.createToken");
}

}  // namespace

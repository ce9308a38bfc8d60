// The HTTP transport contract, run against every implementation through its peer (the
// instantiations live beside each implementation's own tests).
#include "tests/platform/http_transport_contract.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <random>
#include <thread>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::size_t HttpRecordedRequest::Count(const std::string& name) const {
  return static_cast<std::size_t>(
      std::count_if(aHeaders.begin(), aHeaders.end(),
                    [&](const auto& header) { return SameHeaderName(header.first, name); }));
}

std::string HttpRecordedRequest::Header(const std::string& name) const {
  for (const auto& header : aHeaders) {
    if (SameHeaderName(header.first, name)) {
      return header.second;
    }
  }
  return std::string();
}

std::string HttpContractTargetName(const ::testing::TestParamInfo<HttpContractTarget>& info) {
  return info.param.strName;
}

void PrintTo(const HttpContractTarget& target, std::ostream* os) {
  *os << target.strName;
}

void HttpTransportContractTest::SetUp() {
  m_pPeer = GetParam().create();
}

HttpExchange HttpTransportContractTest::Open(std::uint32_t receiveMs, int port, HttpScheme scheme) {
  HttpExchange exchange;
  exchange.pSession = m_pPeer->Transport().OpenSession(kUserAgent);
  if (exchange.pSession) {
    exchange.pSession->SetTimeouts(5000, receiveMs);
    exchange.pConnection =
        exchange.pSession->Connect(m_pPeer->Host(), port != 0 ? port : m_pPeer->Port(), scheme);
  }
  if (exchange.pConnection) {
    exchange.pRequest = exchange.pConnection->OpenRequest("POST", kPath);
  }
  return exchange;
}

bool HttpTransportContractTest::ReadBody(IHttpRequest& request, std::string* body,
                                         std::uint32_t* largest) {
  body->clear();
  std::vector<char> chunk;
  for (;;) {
    std::uint32_t available = 0;
    if (!request.QueryDataAvailable(&available)) {
      return false;
    }
    if (largest != nullptr) {
      *largest = std::max(*largest, available);
    }
    if (available == 0) {
      return true;
    }
    chunk.resize(available);
    std::uint32_t read = 0;
    if (!request.Read(chunk.data(), available, &read)) {
      return false;
    }
    if (read == 0) {
      return true;
    }
    body->append(chunk.data(), read);
  }
}

namespace {

HttpScriptedAnswer Answer(std::vector<std::string> chunks, std::int32_t status = 200) {
  HttpScriptedAnswer answer;
  answer.nStatus = status;
  answer.aChunks = std::move(chunks);
  return answer;
}

std::int32_t StatusOf(IHttpRequest& request) {
  std::int32_t status = -1;
  std::uint32_t error = 0;
  return request.QueryStatusCode(&status, &error) ? status : -1;
}

}  // namespace

TEST_P(HttpTransportContractTest, SendsTheRequestAsGivenAndNoCookies) {
  HttpScriptedAnswer answer = Answer({"<ok/>"});
  answer.aHeaders = {{"Set-Cookie", "sid=42; Path=/"}};
  m_pPeer->Script(answer);
  static const char kBody[] = "api_key=k&status=caf\xC3\xA9 \xFF\x00\x01\r\n&sig=0a";
  const std::string body(kBody, sizeof(kBody) - 1);
  HttpExchange exchange = Open();
  ASSERT_TRUE(exchange.pRequest);
  exchange.pRequest->AddHeader("Content-Type: text/plain");
  exchange.pRequest->AddHeader("Content-Type: application/x-www-form-urlencoded");
  exchange.pRequest->AddHeader("X-Split: a\r\nX-Injected: b");  // two lines: dropped
  ASSERT_TRUE(exchange.pRequest->Send(body));
  std::string received;
  EXPECT_TRUE(ReadBody(*exchange.pRequest, &received));
  EXPECT_EQ(received, "<ok/>");

  // A second request of the same session, after an answer that set a cookie.
  auto second = exchange.pConnection->OpenRequest("POST", "/restserver.php?v=1.0");
  ASSERT_TRUE(second);
  ASSERT_TRUE(second->Send(""));

  const auto requests = m_pPeer->Requests();
  ASSERT_EQ(requests.size(), 2u);
  const HttpRecordedRequest& first = requests[0];
  EXPECT_EQ(first.strMethod, "POST");
  EXPECT_EQ(first.strTarget, kPath);
  EXPECT_EQ(first.Header("User-Agent"), kUserAgent);
  EXPECT_EQ(first.Count("Content-Type"), 1u);
  EXPECT_EQ(first.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(first.Header("Accept"), "*/*");
  EXPECT_EQ(first.Count("X-Split") + first.Count("X-Injected"), 0u);
  EXPECT_EQ(first.strBody, body);
  EXPECT_EQ(requests[1].strTarget, "/restserver.php?v=1.0");
  EXPECT_EQ(requests[1].strBody, "");
  EXPECT_EQ(first.Count("Cookie") + requests[1].Count("Cookie"), 0u);
}

TEST_P(HttpTransportContractTest, AnErrorStatusIsAnAnswerWithABody) {
  const std::string html = "<html><body><h1>500 Internal Server Error</h1></body></html>";
  HttpScriptedAnswer answer = Answer({html}, 500);
  answer.aHeaders = {{"Content-Type", "text/html"}};
  m_pPeer->Script(answer);
  HttpExchange exchange = Open();
  ASSERT_TRUE(exchange.pRequest);
  ASSERT_TRUE(exchange.pRequest->Send("method=x"));
  EXPECT_EQ(StatusOf(*exchange.pRequest), 500);
  std::string received;
  EXPECT_TRUE(ReadBody(*exchange.pRequest, &received));
  EXPECT_EQ(received, html);
}

TEST_P(HttpTransportContractTest, BodiesAreJoinedWholeWhateverTheirSize) {
  std::vector<std::string> pieces;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    pieces.push_back("<n>" + std::to_string(i) + "</n>");
    expected += pieces.back();
  }
  std::mt19937 random(7);
  std::string large(6 * 1024 * 1024, '\0');
  for (char& c : large) {
    c = static_cast<char>(random() & 0xFF);  // NUL bytes included
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {pieces, expected}, {{large}, large}, {{}, ""}};
  for (const auto& [chunks, body] : cases) {
    m_pPeer->Script(Answer(chunks));
    HttpExchange exchange = Open();
    ASSERT_TRUE(exchange.pRequest);
    ASSERT_TRUE(exchange.pRequest->Send("q"));
    EXPECT_EQ(StatusOf(*exchange.pRequest), 200);
    std::string received = "stale";
    EXPECT_TRUE(ReadBody(*exchange.pRequest, &received));
    EXPECT_EQ(received.size(), body.size());
    EXPECT_TRUE(received == body) << "body of " << body.size() << " bytes differs";
    // Once the body has ended it stays ended.
    std::uint32_t available = 1;
    EXPECT_TRUE(exchange.pRequest->QueryDataAvailable(&available));
    EXPECT_EQ(available, 0u);
  }
}

TEST_P(HttpTransportContractTest, ARefusedConnectionFailsSendQuickly) {
  HttpExchange exchange = Open(10000, m_pPeer->ClosedPort());
  ASSERT_TRUE(exchange.pRequest);  // nothing is contacted before Send
  const auto start = Clock::now();
  EXPECT_FALSE(exchange.pRequest->Send("q"));
  EXPECT_LT(Clock::now() - start, milliseconds(3000));
  std::int32_t status = 0;
  std::uint32_t error = 0;
  EXPECT_FALSE(exchange.pRequest->QueryStatusCode(&status, &error));
  EXPECT_NE(error, 0u);
  std::uint32_t available = 0;
  char byte = 0;
  EXPECT_FALSE(exchange.pRequest->QueryDataAvailable(&available));
  EXPECT_FALSE(exchange.pRequest->Read(&byte, 1, &available));
}

TEST_P(HttpTransportContractTest, SilenceLongerThanTheReceiveTimeoutFails) {
  // Silence before the status line fails Send.
  HttpScriptedAnswer silent;
  silent.eEnd = HttpScriptedAnswer::EEnd::kSilent;
  m_pPeer->Script(silent);
  HttpExchange exchange = Open(300);
  ASSERT_TRUE(exchange.pRequest);
  auto start = Clock::now();
  EXPECT_FALSE(exchange.pRequest->Send("q"));
  if (m_pPeer->KeepsRealTime()) {
    EXPECT_GE(Clock::now() - start, milliseconds(290));
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
  }
  std::int32_t status = 0;
  std::uint32_t error = 0;
  EXPECT_FALSE(exchange.pRequest->QueryStatusCode(&status, &error));
  EXPECT_NE(error, 0u);

  // Silence in the middle of the body fails the read, after the bytes that did come.
  HttpScriptedAnswer stalled = Answer({"<partial"});
  stalled.eEnd = HttpScriptedAnswer::EEnd::kStall;
  m_pPeer->Script(stalled);
  exchange = Open(300);
  ASSERT_TRUE(exchange.pRequest);
  ASSERT_TRUE(exchange.pRequest->Send("q"));
  EXPECT_EQ(StatusOf(*exchange.pRequest), 200);
  start = Clock::now();
  std::string received;
  EXPECT_FALSE(ReadBody(*exchange.pRequest, &received));
  if (m_pPeer->KeepsRealTime()) {
    EXPECT_GE(Clock::now() - start, milliseconds(290));
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
  }
  EXPECT_EQ(received, "<partial");
}

TEST_P(HttpTransportContractTest, ASlowButSteadyAnswerOutlastsTheReceiveTimeout) {
  HttpScriptedAnswer answer = Answer({"<a>", "1", "2", "3", "4", "5", "6", "7", "8", "</a>"});
  answer.dwGapMs = 100;
  m_pPeer->Script(answer);
  HttpExchange exchange = Open(600);
  ASSERT_TRUE(exchange.pRequest);
  const auto start = Clock::now();
  ASSERT_TRUE(exchange.pRequest->Send("q"));
  std::string received;
  EXPECT_TRUE(ReadBody(*exchange.pRequest, &received));
  EXPECT_EQ(received, "<a>12345678</a>");
  if (m_pPeer->KeepsRealTime()) {
    EXPECT_GE(Clock::now() - start, milliseconds(900));  // far longer than the time-out
  }
}

TEST_P(HttpTransportContractTest, StepsOutOfOrderFailAndTeardownMidBodyIsClean) {
  std::string large(2 * 1024 * 1024, 'x');
  m_pPeer->Script(Answer({large}));
  HttpExchange exchange = Open();
  ASSERT_TRUE(exchange.pRequest);
  std::int32_t status = 0;
  std::uint32_t error = 0;
  std::uint32_t available = 0;
  char bytes[16];
  EXPECT_FALSE(exchange.pRequest->QueryStatusCode(&status, &error));
  EXPECT_NE(error, 0u);
  EXPECT_FALSE(exchange.pRequest->QueryDataAvailable(&available));
  EXPECT_FALSE(exchange.pRequest->Read(bytes, sizeof(bytes), &available));

  ASSERT_TRUE(exchange.pRequest->Send("q"));
  EXPECT_FALSE(exchange.pRequest->Send("q"));  // a request is sent once
  std::uint32_t read = 0;
  ASSERT_TRUE(exchange.pRequest->Read(bytes, sizeof(bytes), &read));
  EXPECT_EQ(std::string(bytes, read), std::string(read, 'x'));
  EXPECT_GT(read, 0u);

  // Close everything while most of the body is still on its way; then objects never used.
  exchange = HttpExchange();
  exchange = Open();
  exchange.pRequest.reset();
  exchange.pConnection.reset();
  exchange = HttpExchange();
  ASSERT_TRUE(m_pPeer->Transport().OpenSession(kUserAgent));
}

TEST_P(HttpTransportContractTest, ThreadsRunTheirOwnRequestsAtOnce) {
  HttpScriptedAnswer echo;
  echo.bEchoBody = true;
  m_pPeer->Script(echo);
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &answered] {
      for (int r = 0; r < 3; ++r) {
        const std::string body = "thread=" + std::to_string(t) + "&request=" + std::to_string(r) +
                                 std::string(20000 + t * 1000, 'p');
        HttpExchange exchange = Open();
        std::string received;
        if (exchange.pRequest && exchange.pRequest->Send(body) &&
            ReadBody(*exchange.pRequest, &received) && received == body) {
          ++answered;
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(answered.load(), 12);
  EXPECT_EQ(m_pPeer->Requests().size(), 12u);
}

TEST_P(HttpTransportContractTest, TargetsThatCouldBeMisreadAreRefused) {
  EXPECT_FALSE(m_pPeer->Transport().OpenSession("agent\r\nX-Injected: 1"));
  auto session = m_pPeer->Transport().OpenSession(kUserAgent);
  ASSERT_TRUE(session);
  for (const char* host : {"", "user@evil.example", "evil.example/path", "a b"}) {
    EXPECT_FALSE(session->Connect(host, m_pPeer->Port(), HttpScheme::kHttp)) << host;
    EXPECT_FALSE(session->Connect(host, m_pPeer->Port(), HttpScheme::kHttps)) << host;
  }
  EXPECT_FALSE(session->Connect(m_pPeer->Host(), 0, HttpScheme::kHttp));
  EXPECT_FALSE(session->Connect(m_pPeer->Host(), 65536, HttpScheme::kHttps));
  auto connection = session->Connect(m_pPeer->Host(), m_pPeer->Port(), HttpScheme::kHttp);
  ASSERT_TRUE(connection);
  for (const char* path : {"", "restserver.php", "/a b", "/a\r\nHost: evil.example"}) {
    EXPECT_FALSE(connection->OpenRequest("POST", path)) << path;
  }
  EXPECT_FALSE(connection->OpenRequest("PO ST", kPath));
  EXPECT_FALSE(connection->OpenRequest("", kPath));
  EXPECT_TRUE(m_pPeer->Requests().empty());
}

TEST_P(HttpTransportContractTest, TlsCarriesTheRequestToAServerWhoseCertificateHolds) {
  const std::string body = "api_key=k&session_key=secret-" + std::string(70000, 's');
  HttpScriptedAnswer answer = Answer({"<ok>", std::string(100000, 'x'), "</ok>"}, 200);
  m_pPeer->Script(answer);
  HttpExchange exchange = Open(
      10000, m_pPeer->TlsPort(IHttpContractPeer::ETlsCertificate::kTrusted), HttpScheme::kHttps);
  ASSERT_TRUE(exchange.pRequest);
  ASSERT_TRUE(exchange.pRequest->Send(body)) << exchange.pRequest->DescribeFailure();
  EXPECT_EQ(StatusOf(*exchange.pRequest), 200);
  EXPECT_EQ(exchange.pRequest->DescribeFailure(), "");
  std::string received;
  EXPECT_TRUE(ReadBody(*exchange.pRequest, &received));
  EXPECT_EQ(received, "<ok>" + std::string(100000, 'x') + "</ok>");

  const auto requests = m_pPeer->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].strTarget, kPath);
  EXPECT_EQ(requests[0].Header("User-Agent"), kUserAgent);
  EXPECT_EQ(requests[0].strBody, body);
}

TEST_P(HttpTransportContractTest, NoRequestLeavesWhenTheCertificateOrTheServerFails) {
  using Certificate = IHttpContractPeer::ETlsCertificate;
  m_pPeer->Script(Answer({"<ok/>"}));
  const struct {
    const char* name;
    int port;
    bool bCertificate;  // the reason is the certificate
  } cases[] = {
      {"a certificate no trusted root vouches for", m_pPeer->TlsPort(Certificate::kUntrusted),
       true},
      {"a trusted certificate for another host", m_pPeer->TlsPort(Certificate::kOtherName), true},
      {"a server that speaks only plain HTTP", m_pPeer->Port(), false},
  };
  for (const auto& tried : cases) {
    HttpExchange exchange = Open(5000, tried.port, HttpScheme::kHttps);
    ASSERT_TRUE(exchange.pRequest) << tried.name;
    EXPECT_EQ(exchange.pRequest->DescribeFailure(), "") << tried.name;
    EXPECT_FALSE(exchange.pRequest->Send("session_key=secret&status=hello")) << tried.name;
    std::int32_t status = 0;
    std::uint32_t error = 0;
    EXPECT_FALSE(exchange.pRequest->QueryStatusCode(&status, &error)) << tried.name;
    EXPECT_NE(error, 0u) << tried.name;
    const std::string why = exchange.pRequest->DescribeFailure();
    EXPECT_NE(why, "") << tried.name;
    if (tried.bCertificate) {
      EXPECT_NE(why.find("certificate"), std::string::npos) << tried.name << ": " << why;
    }
  }
  // Neither the TLS ports nor the plain one took a request: nothing went out in clear.
  EXPECT_TRUE(m_pPeer->Requests().empty());
}

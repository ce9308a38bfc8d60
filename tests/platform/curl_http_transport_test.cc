// What the libcurl transport puts on the wire beyond the seam's contract: cache and framing
// headers, fresh connections, redirects, proxies and its bounded body buffer.
#include "platform/curl/curl_http_transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/platform/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace {

class CurlHttpTransportTest : public ::testing::Test {
 protected:
  // POSTs `body` to `host` (the server by default) and reads the answer; the status, or -1.
  int Exchange(const std::string& body, const std::string& host = "127.0.0.1", int port = 0,
               std::string* answer = nullptr) {
    auto session = m_transport.OpenSession("zenlet-test");
    auto connection = session->Connect(host, port != 0 ? port : m_server.Port(), HttpScheme::kHttp);
    auto request = connection ? connection->OpenRequest("POST", "/restserver.php") : nullptr;
    std::int32_t status = -1;
    std::uint32_t error = 0;
    if (!request || !request->Send(body) || !request->QueryStatusCode(&status, &error)) {
      return -1;
    }
    std::string text;
    char chunk[4096];
    std::uint32_t read = 0;
    while (request->Read(chunk, sizeof(chunk), &read) && read > 0) {
      text.append(chunk, read);
    }
    if (answer != nullptr) {
      *answer = text;
    }
    return status;
  }

  CLoopbackHttpServer m_server;
  CCurlHttpTransport m_transport;
};

TEST_F(CurlHttpTransportTest, NoCacheNoImplicitHeadersAndAFreshConnectionEachTime) {
  HttpScriptedAnswer answer;
  answer.aChunks = {"<ok/>"};
  m_server.Script(answer);
  // Large enough that libcurl would otherwise ask for "100 Continue" first.
  const std::string large(1536 * 1024, 'b');
  ASSERT_EQ(Exchange("small"), 200);
  ASSERT_EQ(Exchange(large), 200);

  const auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const HttpRecordedRequest& request : requests) {
    EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
    EXPECT_EQ(request.Header("Pragma"), "no-cache");
    EXPECT_EQ(request.Count("Content-Type"), 0u);  // none unless the caller adds one
    EXPECT_EQ(request.Count("Expect"), 0u);
  }
  EXPECT_EQ(requests[1].strBody.size(), large.size());
  EXPECT_NE(requests[0].nClientPort, requests[1].nClientPort);
}

TEST_F(CurlHttpTransportTest, OtherVerbsKeepTheirMeaning) {
  HttpScriptedAnswer answer;
  answer.aChunks = {"<announced-but-not-sent-for-head/>"};
  m_server.Script(answer);
  auto session = m_transport.OpenSession("zenlet-test");
  session->SetTimeouts(5000, 5000);
  auto connection = session->Connect("127.0.0.1", m_server.Port(), HttpScheme::kHttp);
  for (const auto& [verb, body] : std::vector<std::pair<std::string, std::string>>{
           {"GET", ""}, {"PUT", "x=1"}, {"HEAD", ""}}) {
    auto request = connection->OpenRequest(verb, "/restserver.php");
    ASSERT_TRUE(request->Send(body)) << verb;
    std::uint32_t available = 1;
    ASSERT_TRUE(request->QueryDataAvailable(&available)) << verb;
    // A HEAD answer announces a length but has no body; waiting for one would time out.
    EXPECT_EQ(available == 0, verb == "HEAD") << verb;
  }
  const auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].strMethod, "GET");
  EXPECT_EQ(requests[0].Count("Content-Length"), 0u);
  EXPECT_EQ(requests[1].strMethod, "PUT");
  EXPECT_EQ(requests[1].strBody, "x=1");
  EXPECT_EQ(requests[2].strMethod, "HEAD");
}

TEST_F(CurlHttpTransportTest, ARedirectIsAnAnswerAndIsNotFollowed) {
  HttpScriptedAnswer answer;
  answer.nStatus = 302;
  answer.aHeaders = {{"Location", "/elsewhere.php"}};
  answer.aChunks = {"moved"};
  m_server.Script(answer);
  std::string body;
  EXPECT_EQ(Exchange("q", "127.0.0.1", 0, &body), 302);
  EXPECT_EQ(body, "moved");
  EXPECT_EQ(m_server.Requests().size(), 1u);
}

TEST_F(CurlHttpTransportTest, TheSystemProxyServesOtherHostsButNeverLoopback) {
  HttpScriptedAnswer answer;
  answer.aChunks = {"<ok/>"};
  m_server.Script(answer);
  CScopedEnvironment noProxy("no_proxy", nullptr);
  CScopedEnvironment noProxyUpper("NO_PROXY", nullptr);
  {
    // A proxy that cannot be reached does not matter for a loopback address.
    const std::string dead =
        "http://127.0.0.1:" + std::to_string(CLoopbackHttpServer::ClosedPort());
    CScopedEnvironment proxy("http_proxy", dead.c_str());
    EXPECT_EQ(Exchange("direct"), 200);
  }
  {
    // Any other host goes through the proxy (here the loopback server plays the proxy).
    const std::string proxyAddress = "http://127.0.0.1:" + std::to_string(m_server.Port());
    CScopedEnvironment proxy("http_proxy", proxyAddress.c_str());
    EXPECT_EQ(Exchange("proxied", "zenlet-api.invalid", 80), 200);
  }
  const auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].strTarget, "/restserver.php");
  EXPECT_EQ(requests[1].strTarget, "http://zenlet-api.invalid/restserver.php");
  EXPECT_EQ(requests[1].strBody, "proxied");
}

TEST_F(CurlHttpTransportTest, AnEndlessAnswerNeverPilesUpInTheTransport) {
  HttpScriptedAnswer answer;
  answer.aChunks = {std::string(8192, 'e')};
  answer.eEnd = HttpScriptedAnswer::EEnd::kEndless;
  m_server.Script(answer);
  auto session = m_transport.OpenSession("zenlet-test");
  auto connection = session->Connect("127.0.0.1", m_server.Port(), HttpScheme::kHttp);
  auto request = connection->OpenRequest("POST", "/restserver.php");
  ASSERT_TRUE(request->Send("q"));
  // Let the server fill the socket's buffers: one read could then take far more than fits.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string chunk(256 * 1024, '\0');
  std::size_t total = 0;
  while (total < 16u * 1024 * 1024) {
    std::uint32_t available = 0;
    ASSERT_TRUE(request->QueryDataAvailable(&available));
    ASSERT_GT(available, 0u);
    ASSERT_LE(available, CCurlHttpTransport::kBodyBufferBound);
    std::uint32_t read = 0;
    ASSERT_TRUE(request->Read(chunk.data(), static_cast<std::uint32_t>(chunk.size()), &read));
    ASSERT_EQ(read, available);
    total += read;
  }
  // Going away in the middle of the answer ends the transfer.
  request.reset();
}

}  // namespace

// The contract suite on libcurl, against loopback servers inside the test; the transport
// trusts their certificates as the emulator's is trusted.
namespace {

class CCurlContractPeer : public IHttpContractPeer {
 public:
  IHttpTransport& Transport() override { return m_transport; }
  std::string Host() const override { return "127.0.0.1"; }
  int Port() const override { return m_end.Port(); }
  int TlsPort(ETlsCertificate certificate) override { return m_end.TlsPort(certificate); }
  int ClosedPort() const override { return CLoopbackHttpServer::ClosedPort(); }
  void Script(const HttpScriptedAnswer& answer) override { m_end.Script(answer); }
  std::vector<HttpRecordedRequest> Requests() const override { return m_end.Requests(); }

 private:
  CLoopbackContractEnd m_end;
  CCurlHttpTransport m_transport{CLoopbackContractEnd::TrustedPem()};
};

INSTANTIATE_TEST_SUITE_P(Curl, HttpTransportContractTest,
                         ::testing::Values(HttpContractTarget{
                             "Curl", [] { return std::make_unique<CCurlContractPeer>(); }}),
                         HttpContractTargetName);

}  // namespace

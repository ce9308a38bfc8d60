#include "facebook/http_post.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/logger.h"
#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/response_log.h"
#include "platform/http_transport.h"

namespace {

constexpr const char* kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR "
    "2.0.50727)";
constexpr const char* kContentTypeHeader = "Content-Type: application/x-www-form-urlencoded";
constexpr std::uint32_t kConnectTimeoutMs = 60000;
constexpr std::uint32_t kReceiveTimeoutMs = 60000;
// However much the connection says it has, one read takes at most this many bytes.
constexpr std::uint32_t kMaxChunkBytes = 64 * 1024;

enum class BodyOutcome { kComplete, kFailed, kTooLarge };

// Reads the body in the chunks the connection offers, zero bytes included, until it ends,
// fails, or grows past kMaxResponseBytes.
BodyOutcome ReadBody(IHttpRequest& request, std::string& body, CLogger& log) {
  for (;;) {
    std::uint32_t available = 0;
    if (!request.QueryDataAvailable(&available)) {
      log.error("%s failed. NULL.", "hr: hqda");
      return BodyOutcome::kFailed;
    }
    if (available == 0) {
      return BodyOutcome::kComplete;
    }
    const std::size_t room = kMaxResponseBytes - body.size();
    // One byte past the bound is enough to know that the answer is too large.
    const auto want =
        static_cast<std::uint32_t>(std::min<std::size_t>({available, kMaxChunkBytes, room + 1}));
    const std::size_t old = body.size();
    body.resize(old + want);
    std::uint32_t read = 0;
    if (!request.Read(&body[old], want, &read)) {
      log.error("%s failed. NULL.", "hr: irf");
      return BodyOutcome::kFailed;
    }
    body.resize(old + std::min(read, want));
    if (read == 0) {
      return BodyOutcome::kComplete;
    }
    if (body.size() > kMaxResponseBytes) {
      log.error("hr: response over %zu bytes, abandoned", kMaxResponseBytes);
      return BodyOutcome::kTooLarge;
    }
  }
}

}  // namespace

void PostRequest(const CFacebookClient& client, const std::string& body,
                 FacebookCallResult& result) {
  result.nStatus = kCallNoAnswer;
  result.nHttpStatus = -1;
  // A failed read must never leave an earlier call's answer to be parsed as this one's.
  result.strResponse.clear();
  CLogger& log = client.Log();

  std::unique_ptr<IHttpSession> session = client.Http().OpenSession(kUserAgent);
  if (!session) {
    log.error("%s failed. NULL.", "hr: ioa");
    return;
  }
  session->SetTimeouts(kConnectTimeoutMs, kReceiveTimeoutMs);
  std::unique_ptr<IHttpConnection> connection =
      session->Connect(client.m_strApiHost, client.m_nApiPort,
                       client.m_bApiOverTls ? HttpScheme::kHttps : HttpScheme::kHttp);
  if (!connection) {
    log.error("%s failed. NULL.", "hr: ica");
    return;
  }
  std::unique_ptr<IHttpRequest> request = connection->OpenRequest("POST", client.m_strApiPath);
  if (!request) {
    log.error("%s failed. NULL.", "hr: iora");
    return;
  }
  request->AddHeader(kContentTypeHeader);
  if (!request->Send(body)) {
    log.error("%s failed. NULL.", "hr: hsra");
    // A refused certificate fails here too; the reason, traced beside the one error line,
    // tells it from an unreachable server.
    log.debug("hr: hsra: %s", request->DescribeFailure().c_str());
    return;
  }
  std::int32_t status = 0;
  std::uint32_t systemError = 0;
  if (!request->QueryStatusCode(&status, &systemError)) {
    log.error("hr: hqia failed. 0x%lx", static_cast<unsigned long>(systemError));
    return;
  }
  // Any status counts as an answer: a 404 or 500 page is read and parsed like any other.
  log.debug("hr: http status: %d", status);
  result.nStatus = kCallSucceeded;
  result.nHttpStatus = status;

  std::string response;
  if (ReadBody(*request, response, log) == BodyOutcome::kComplete) {
    result.strResponse = std::move(response);
    log.debug(
        "hr: response: %s",
        FormatResponseForLog(result.strResponse, kLoggedResponseBytes, &client.Xml()).c_str());
  }
  // Request, connection and session close in that order.
  request.reset();
  connection.reset();
  session.reset();
}

#include "tests/platform/loopback_http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <stdexcept>

#include "tools/restemu/self_signed_certificate.h"

namespace {

constexpr char kHost[] = "127.0.0.1";
// An endless answer stops here even if the client never goes away.
constexpr std::size_t kEndlessCap = std::size_t{1} << 30;

std::unique_ptr<httplib::Server> MakeServer(const CSelfSignedCertificate* certificate) {
  if (certificate == nullptr) {
    return std::make_unique<httplib::Server>();
  }
  return std::make_unique<httplib::SSLServer>(certificate->Certificate(), certificate->Key());
}

// Made once per process: each of them takes a moment.
struct ContractCertificates {
  CSelfSignedCertificate trusted{{kHost}};
  CSelfSignedCertificate untrusted{{kHost}};
  CSelfSignedCertificate otherName{{"zenlet-other-host.example"}};
};

const ContractCertificates& Certificates() {
  static const ContractCertificates s_certificates;
  return s_certificates;
}

}  // namespace

CLoopbackHttpServer::CLoopbackHttpServer(const CSelfSignedCertificate* certificate)
    : m_pServer(MakeServer(certificate)) {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    Answer(request, response);
  };
  m_pServer->Get(".*", handler).Post(".*", handler).Put(".*", handler);
  m_nPort = m_pServer->bind_to_any_port(kHost);
  if (m_nPort <= 0) {
    throw std::runtime_error("the loopback server found no free port");
  }
  m_thread = std::thread([this] {
    m_pServer->listen_after_bind();
    m_bServing = false;
  });
  // A stop() before the accept loop runs would be lost and the loop would never end.
  while (!m_pServer->is_running() && m_bServing) {
    std::this_thread::yield();
  }
  if (!m_pServer->is_running()) {
    m_thread.join();
    throw std::runtime_error("the loopback server could not serve");
  }
}

CLoopbackHttpServer::~CLoopbackHttpServer() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bReleased = true;
  }
  m_cvRelease.notify_all();
  m_pServer->stop();
  m_thread.join();
}

void CLoopbackHttpServer::Script(const HttpScriptedAnswer& answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_answer = answer;
}

std::vector<HttpRecordedRequest> CLoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_aRequests;
}

int CLoopbackHttpServer::ClosedPort() {
  const int socketFd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  const bool bound = socketFd >= 0 &&
                     bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                     getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (socketFd >= 0) {
    close(socketFd);  // bound but never listening, and now closed
  }
  if (!bound) {
    throw std::runtime_error("no loopback port could be reserved");
  }
  return ntohs(address.sin_port);
}

bool CLoopbackHttpServer::WaitOrRelease(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cvRelease.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bReleased; });
}

void CLoopbackHttpServer::Answer(const httplib::Request& request, httplib::Response& response) {
  HttpScriptedAnswer answer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    HttpRecordedRequest record{
        request.method, request.target, {}, request.body, request.remote_port};
    for (const auto& header : request.headers) {
      record.aHeaders.push_back(header);
    }
    m_aRequests.push_back(std::move(record));
    answer = m_answer;
  }
  if (answer.eEnd == HttpScriptedAnswer::EEnd::kSilent) {
    WaitOrRelease(60000);  // the client gives up first, or the server goes away
    response.status = 503;
    return;
  }

  response.status = answer.nStatus;
  std::string contentType = "text/xml; charset=utf-8";
  for (const auto& header : answer.aHeaders) {
    if (SameHeaderName(header.first, "Content-Type")) {
      contentType = header.second;
    } else {
      response.set_header(header.first, header.second);
    }
  }
  auto chunks = std::make_shared<std::vector<std::string>>(
      answer.bEchoBody ? std::vector<std::string>{request.body} : answer.aChunks);
  const std::uint32_t gapMs = answer.dwGapMs;

  switch (answer.eEnd) {
    case HttpScriptedAnswer::EEnd::kComplete:
      if (chunks->size() <= 1 && gapMs == 0) {
        response.set_content(chunks->empty() ? std::string() : chunks->front(), contentType);
      } else {
        auto next = std::make_shared<std::size_t>(0);
        response.set_chunked_content_provider(
            contentType, [this, chunks, next, gapMs](std::size_t, httplib::DataSink& sink) {
              if (*next > 0 && gapMs > 0 && WaitOrRelease(gapMs)) {
                return false;
              }
              if (*next < chunks->size() &&
                  !sink.write((*chunks)[*next].data(), (*chunks)[*next].size())) {
                return false;
              }
              if (++*next >= chunks->size()) {
                sink.done();
              }
              return true;
            });
      }
      break;
    case HttpScriptedAnswer::EEnd::kStall: {
      // Announces the chunks plus bytes that never come, then holds the connection open.
      const std::size_t promised = std::accumulate(
          chunks->begin(), chunks->end(), std::size_t{1024},
          [](std::size_t sum, const std::string& chunk) { return sum + chunk.size(); });
      auto next = std::make_shared<std::size_t>(0);
      response.set_content_provider(
          promised, contentType,
          [this, chunks, next, gapMs](std::size_t, std::size_t, httplib::DataSink& sink) {
            if (*next >= chunks->size()) {
              WaitOrRelease(60000);
              return false;
            }
            if ((*next > 0 && gapMs > 0 && WaitOrRelease(gapMs)) ||
                !sink.write((*chunks)[*next].data(), (*chunks)[*next].size())) {
              return false;
            }
            ++*next;
            return true;
          });
      break;
    }
    case HttpScriptedAnswer::EEnd::kEndless: {
      auto sent = std::make_shared<std::size_t>(0);
      response.set_chunked_content_provider(contentType, [this, chunks, sent](
                                                             std::size_t, httplib::DataSink& sink) {
        for (const std::string& chunk : *chunks) {
          if (*sent >= kEndlessCap || WaitOrRelease(0) || !sink.write(chunk.data(), chunk.size())) {
            return false;
          }
          *sent += chunk.size();
        }
        return true;
      });
      break;
    }
    case HttpScriptedAnswer::EEnd::kSilent:
      break;
  }
}

CLoopbackContractEnd::CLoopbackContractEnd()
    : m_trusted(&Certificates().trusted),
      m_untrusted(&Certificates().untrusted),
      m_otherName(&Certificates().otherName) {}

int CLoopbackContractEnd::TlsPort(IHttpContractPeer::ETlsCertificate certificate) const {
  switch (certificate) {
    case IHttpContractPeer::ETlsCertificate::kTrusted:
      return m_trusted.Port();
    case IHttpContractPeer::ETlsCertificate::kUntrusted:
      return m_untrusted.Port();
    case IHttpContractPeer::ETlsCertificate::kOtherName:
      return m_otherName.Port();
  }
  return 0;
}

void CLoopbackContractEnd::Script(const HttpScriptedAnswer& answer) {
  for (CLoopbackHttpServer* server : {&m_plain, &m_trusted, &m_untrusted, &m_otherName}) {
    server->Script(answer);
  }
}

std::vector<HttpRecordedRequest> CLoopbackContractEnd::Requests() const {
  std::vector<HttpRecordedRequest> requests;
  for (const CLoopbackHttpServer* server : {&m_plain, &m_trusted, &m_untrusted, &m_otherName}) {
    const std::vector<HttpRecordedRequest> received = server->Requests();
    requests.insert(requests.end(), received.begin(), received.end());
  }
  return requests;
}

std::string CLoopbackContractEnd::TrustedPem() {
  return Certificates().trusted.Pem() + Certificates().otherName.Pem();
}

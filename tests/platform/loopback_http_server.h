// An HTTP server on a random port of 127.0.0.1, running in the test process, that answers
// every request with the current scripted answer and records what it received; over TLS when
// it is given a certificate. Held answers (silent, stalled, endless) are let go when the
// server is destroyed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/platform/http_transport_contract.h"

class CSelfSignedCertificate;

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class CLoopbackHttpServer {
 public:
  // `certificate`, when given, must outlive the server.
  explicit CLoopbackHttpServer(const CSelfSignedCertificate* certificate = nullptr);
  ~CLoopbackHttpServer();
  CLoopbackHttpServer(const CLoopbackHttpServer&) = delete;
  CLoopbackHttpServer& operator=(const CLoopbackHttpServer&) = delete;

  int Port() const { return m_nPort; }
  void Script(const HttpScriptedAnswer& answer);
  std::vector<HttpRecordedRequest> Requests() const;

  // A port on 127.0.0.1 where nothing listens.
  static int ClosedPort();

 private:
  void Answer(const httplib::Request& request, httplib::Response& response);
  // Waits `ms` milliseconds; true at once when the server is going away.
  bool WaitOrRelease(std::uint32_t ms);

  std::unique_ptr<httplib::Server> m_pServer;
  std::thread m_thread;
  std::atomic<bool> m_bServing{true};  // false once the accept loop has returned
  int m_nPort = 0;
  mutable std::mutex m_mutex;
  std::condition_variable m_cvRelease;
  bool m_bReleased = false;
  HttpScriptedAnswer m_answer;
  std::vector<HttpRecordedRequest> m_aRequests;
};

// The contract's far end on loopback: a plain server, and a TLS server for each kind of
// certificate, all playing the same script.
class CLoopbackContractEnd {
 public:
  CLoopbackContractEnd();

  int Port() const { return m_plain.Port(); }
  int TlsPort(IHttpContractPeer::ETlsCertificate certificate) const;
  void Script(const HttpScriptedAnswer& answer);
  // What the four servers received, the plain one's first.
  std::vector<HttpRecordedRequest> Requests() const;

  // The certificates that a transport under test trusts, in PEM form: the one of the trusted
  // port and the one for another host. The same for every end of the process.
  static std::string TrustedPem();

 private:
  CLoopbackHttpServer m_plain;
  CLoopbackHttpServer m_trusted;
  CLoopbackHttpServer m_untrusted;
  CLoopbackHttpServer m_otherName;
};

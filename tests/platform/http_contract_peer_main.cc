// zenlet-http-peer: the far end of the HTTP contract suite as a program of its own, for a
// transport under test on another system (WinInet under Wine). It serves a control interface
// on a loopback port, which it prints first as "127.0.0.1:PORT":
//   POST /new       a fresh far end; answers "PORT CLOSED-PORT TRUSTED UNTRUSTED OTHER-NAME",
//                   the last three its TLS ports
//   POST /script    the body is a scripted answer in the wire form
//   GET  /requests  the requests the current end received, in the wire form
//   GET  /trust     the certificates the transport under test must trust, in PEM form
// It runs until it is stopped.
#include <httplib.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "tests/platform/http_contract_wire.h"
#include "tests/platform/loopback_http_server.h"

int main() {
  std::mutex mutex;
  std::unique_ptr<CLoopbackContractEnd> server;
  httplib::Server control;
  control.Post("/new", [&](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(mutex);
    server.reset();  // lets go of the answers the last one held
    server = std::make_unique<CLoopbackContractEnd>();
    using Certificate = IHttpContractPeer::ETlsCertificate;
    response.set_content(std::to_string(server->Port()) + " " +
                             std::to_string(CLoopbackHttpServer::ClosedPort()) + " " +
                             std::to_string(server->TlsPort(Certificate::kTrusted)) + " " +
                             std::to_string(server->TlsPort(Certificate::kUntrusted)) + " " +
                             std::to_string(server->TlsPort(Certificate::kOtherName)),
                         "text/plain");
  });
  control.Post("/script", [&](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!server) {
      response.status = 409;
      return;
    }
    server->Script(DecodeAnswer(request.body));
    response.set_content("ok", "text/plain");
  });
  control.Get("/requests", [&](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(mutex);
    response.set_content(server ? EncodeRequests(server->Requests()) : EncodeRequests({}),
                         "application/octet-stream");
  });
  control.Get("/trust", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(CLoopbackContractEnd::TrustedPem(), "application/x-pem-file");
  });
  const int port = control.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "zenlet-http-peer: no free loopback port\n");
    return 1;
  }
  std::printf("127.0.0.1:%d\n", port);
  std::fflush(stdout);
  control.listen_after_bind();
  return 0;
}

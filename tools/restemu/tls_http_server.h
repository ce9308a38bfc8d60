// The emulator's HTTPS front: cpp-httplib's OpenSSL server on a loopback port, with a
// certificate of the caller's, handing each whole request to the same handler as the plain
// front (http_server.h) and writing its answer back, a cut-short answer included.
//
// Unlike the plain front, each open connection holds one of cpp-httplib's threads while it
// is read; the read time-out (10 s) and the keep-alive time-out (5 s) bound that hold. Bodies
// are limited as the plain front limits them: larger ones are refused with 413.
#pragma once

#include <memory>
#include <thread>

#include "tools/http_front/http_request.h"
#include "tools/http_front/http_server.h"

class CSelfSignedCertificate;

namespace httplib {
class Server;
}  // namespace httplib

class CTlsHttpServer {
 public:
  // `certificate` must outlive the server.
  CTlsHttpServer(CHttpServer::Handler handler, const CSelfSignedCertificate& certificate,
                 HttpLimits limits = {});
  ~CTlsHttpServer();
  CTlsHttpServer(const CTlsHttpServer&) = delete;
  CTlsHttpServer& operator=(const CTlsHttpServer&) = delete;

  // Listens on 127.0.0.1:`port` (0 picks a free port) and returns the port. Throws
  // std::runtime_error when the port cannot be had or TLS cannot be set up. Once only.
  int Start(int port);
  // Closes the port and every connection, and returns once no handler runs. Handlers that
  // wait must be let go by their owner first.
  void Stop();

 private:
  CHttpServer::Handler m_handler;
  std::unique_ptr<httplib::Server> m_pServer;
  std::thread m_thread;
};

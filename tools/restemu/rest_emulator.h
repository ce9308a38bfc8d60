// The emulated REST service on a loopback HTTP port: POST /restserver.php for the API, the
// browser pages (login.php, authorize.php and the site's pages), and a control interface
// under /_emu/ for tests and demos. The control operations are also available in-process:
// the world through Service(), faults and the call log here. tools/restemu/README.md
// describes both interfaces.
//
// Threading: every operation may be called from any thread while the server runs. One thread
// reads the requests off every connection; whole requests are served by a pool of threads
// (tools/http_front/http_server.h).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/restemu/rest_service.h"

class CHttpServer;
class CSelfSignedCertificate;
class CTlsHttpServer;
struct HttpRequest;
struct HttpResponse;

enum class FaultKind {
  kDelay,           // the answer comes after a delay
  kHttp500,         // status 500 with an HTML page, the call not carried out
  kDropConnection,  // half the answer is sent, then the connection is closed
  kOversized,       // the answer padded to a given size
  kMalformed,       // the answer cut short, so it is not well-formed
  kErrorCode,       // an error answer with a given code, the call not carried out
};

// "delay", "http500", "drop", "oversized", "malformed", "error".
const char* FaultKindName(FaultKind kind);
std::optional<FaultKind> ParseFaultKind(std::string_view name);

struct FaultSpec {
  std::string strMethod;  // a method name with or without "facebook.", or "*" for every one
  FaultKind kind = FaultKind::kErrorCode;
  int nCount = 1;  // how many of the next matching calls it hits
  int nDelayMs = 0;
  int nErrorCode = 1;
  std::string strErrorMessage;  // empty: the service's message for the code
  std::size_t nBytes = 9 * 1024 * 1024;
};

struct CallRecord {
  std::string strMethod;
  std::vector<RequestParam> aParams;
  bool bSignatureValid = false;
  int nErrorCode = 0;
  std::string strFault;  // FaultKindName of the fault that hit the call, or empty
};

class CRestEmulator {
 public:
  explicit CRestEmulator(const Scenario& scenario);
  ~CRestEmulator();
  CRestEmulator(const CRestEmulator&) = delete;
  CRestEmulator& operator=(const CRestEmulator&) = delete;

  // Starts serving on 127.0.0.1:`port` (0 picks a free port) and returns the port. Throws
  // std::runtime_error when the port cannot be had. Once only.
  int Start(int port = 0);
  // Stops serving; requests held by a delay fault are let go at once.
  void Stop();
  int Port() const { return m_nPort; }
  // "http://127.0.0.1:PORT"
  std::string Address() const;

  // Serves over TLS on 127.0.0.1:`port` too (0 picks a free port), beside the plain port or
  // without it, with a certificate made now for 127.0.0.1 and localhost (tls_http_server.h).
  // Returns the port. Throws std::runtime_error as Start does. Once only.
  int StartTls(int port = 0);
  int TlsPort() const { return m_nTlsPort; }
  // "https://127.0.0.1:PORT"
  std::string TlsAddress() const;
  // The TLS port's certificate in PEM form, for a client to trust; empty before StartTls.
  std::string CertificatePem() const;

  CRestService& Service() { return m_service; }

  void InjectFault(FaultSpec fault);
  void ClearFaults();

  // The API calls received, oldest first; only the latest 10000 are kept, and fewer when
  // their parameters come to more than 16 MiB.
  std::vector<CallRecord> Calls() const;
  void ClearCalls();
  // Called after each API call, on the thread that served it.
  void SetCallObserver(std::function<void(const CallRecord&)> observer);

  // Answers one whole request as the server's workers do, without a connection: the way in
  // for a caller that reads requests itself.
  void Handle(const HttpRequest& request, HttpResponse& response) { Route(request, response); }

 private:
  void Route(const HttpRequest& request, HttpResponse& response);
  void HandleRest(const HttpRequest& request, HttpResponse& response);
  void HandlePage(const HttpRequest& request, HttpResponse& response);
  void HandleLogin(const HttpRequest& request, HttpResponse& response);
  void HandleAuthorize(const HttpRequest& request, HttpResponse& response);
  void HandleControl(const HttpRequest& request, HttpResponse& response);
  std::optional<FaultSpec> TakeFault(const std::string& method);
  void Record(CallRecord record);
  // Waits `ms` milliseconds, or less when the server stops.
  void Pause(int ms);

  CRestService m_service;
  std::unique_ptr<CHttpServer> m_pServer;
  int m_nPort = 0;
  std::unique_ptr<CSelfSignedCertificate> m_pCertificate;
  std::unique_ptr<CTlsHttpServer> m_pTlsServer;
  int m_nTlsPort = 0;

  std::mutex m_stopMutex;
  std::condition_variable m_stopSignal;
  bool m_bStopping = false;

  mutable std::mutex m_mutex;  // faults, calls and the observer
  std::vector<FaultSpec> m_aFaults;
  std::deque<CallRecord> m_aCalls;
  std::size_t m_nCallBytes = 0;  // what m_aCalls holds, roughly
  std::function<void(const CallRecord&)> m_observer;
};

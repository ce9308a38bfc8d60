// A scripted HTTP transport: each session opened plays an answer of a script (a status, a
// body in given chunks, or a failure at a chosen step) and every request records what the
// client sent, so the transport rules are tested without a network.
//
// Faithful to the seam: headers that are not one "Name: value" line are dropped, a request
// sends no cookies, a failed step leaves its object good only for destruction, a TLS request
// goes nowhere unless the port's certificate is trusted and names its host, and any number of
// threads may use the transport at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/http_transport.h"

// The steps of one request that can fail.
enum class HttpStep {
  kOpenSession,
  kConnect,
  kOpenRequest,
  kSend,  // also: nobody listens, or no status line ever comes
  kQueryStatusCode,
  kQueryDataAvailable,  // also: the server stops sending (the receive time-out)
  kRead,
};

// What listens on a port. By default a server that speaks what the client asks for: plain
// HTTP, or TLS with a certificate the client trusts.
enum class ScriptedPortKind {
  kAny,
  kPlainOnly,     // a TLS request finds no TLS there
  kTlsTrusted,    // TLS only
  kTlsUntrusted,  // TLS only, with a certificate no trusted root vouches for
  kTlsOtherName,  // TLS only, with a trusted certificate for another host
};

struct ScriptedHttpAnswer {
  std::int32_t nStatus = 200;
  std::vector<std::string> aChunks;     // offered one at a time, in order; empty ones skipped
  bool bEchoBody = false;               // the body is the request's body instead of the chunks
  bool bEndless = false;                // the chunks repeat for as long as the client reads
  std::optional<HttpStep> eFailAt;      // this step fails...
  std::size_t nFailAfterChunks = 0;     // ...once this many chunks were read whole (body steps)
  std::uint32_t dwSystemError = 12002;  // QueryStatusCode's error code when it fails
  std::function<void()> onSend;         // runs inside Send, as the server answers

  static ScriptedHttpAnswer Body(std::string body, std::int32_t status = 200);
  static ScriptedHttpAnswer Chunks(std::vector<std::string> chunks, std::int32_t status = 200);
  static ScriptedHttpAnswer FailAt(HttpStep step, std::size_t afterChunks = 0);
};

// What one request carried, with the settings of its session and connection.
struct RecordedHttpExchange {
  std::string strUserAgent;
  std::uint32_t dwConnectTimeoutMs = 0;  // 0 while SetTimeouts was not called
  std::uint32_t dwReceiveTimeoutMs = 0;
  std::string strHost;
  int nPort = 0;
  bool bTls = false;  // the connection asked for TLS
  std::string strVerb;
  std::string strPath;
  std::vector<std::string> aHeaders;  // as added, a later one replacing its name's earlier
  bool bSent = false;
  std::string strBody;
  std::size_t nBodyBytesRead = 0;
};

class CScriptedHttpTransport : public IHttpTransport {
 public:
  CScriptedHttpTransport();

  // Answers played in order, one per session; its requests each play it from the start.
  void Enqueue(ScriptedHttpAnswer answer);
  // What sessions play once the queue is empty. Without one nobody listens: Send fails.
  void SetStandingAnswer(ScriptedHttpAnswer answer);
  // Connections to `port` are refused: their requests' Send fails.
  void RefusePort(int port);
  void SetPortKind(int port, ScriptedPortKind kind);
  std::size_t Pending();

  // One entry per request opened, in order.
  std::vector<RecordedHttpExchange> Exchanges();
  // The bodies of the requests that were sent, in order.
  std::vector<std::string> SentBodies();
  // "request", "connection" and "session", in the order the objects were destroyed.
  std::vector<std::string> Closed();

  std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) override;

  // Shared by the transport and every object it opened, which may outlive it.
  struct State {
    std::mutex mutex;
    std::deque<ScriptedHttpAnswer> aScript;
    std::optional<ScriptedHttpAnswer> standing;
    std::set<int> aRefusedPorts;
    std::map<int, ScriptedPortKind> aPortKinds;
    std::vector<std::shared_ptr<RecordedHttpExchange>> aExchanges;
    std::vector<std::string> aClosed;
  };

 private:
  std::shared_ptr<State> m_state;
};

// The HTTP/1.1 front of the local servers, on a loopback port. One thread owns every
// connection and reads requests off them with poll(); only a request that has arrived whole,
// within its deadline and its limits, goes to a worker, which runs the handler and writes the
// answer. So a client that sends slowly, or keeps a connection open and idle, holds a file
// descriptor but never a worker, and Stop ends every connection at once, whatever the
// clients are doing.
//
// An answer may also be a stream (server-sent events): its body is written by the loop
// thread as its source has more and the client takes it, so an open stream holds no worker
// either.
//
// Past the connection cap, the connection idle the longest makes room; when none is idle, the
// one whose request has been arriving the longest does. Workers and streams are never cut
// off to make room, so a flood of silent or slow connections cannot lock anyone out.
//
// Requests on one connection are answered in turn (pipelined ones too); a client that shuts
// down its sending side after a request still gets the answer. Range headers are not
// honoured: every answer is whole.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/http_front/http_request.h"

// The body of an answer that goes on after its handler has returned. The answer announces no
// length and ends when the server closes the connection.
class IHttpStreamBody {
 public:
  virtual ~IHttpStreamBody() = default;
  // Loop thread, once, before the first Take. `wake` tells the server that Take has more to
  // give; it may be called from any thread at any time, also once the stream or the server
  // is gone, and does not block.
  virtual void Begin(std::function<void()> wake) = 0;
  // Loop thread: appends what is ready to `out`, and returns false when nothing more will
  // follow. Must not block.
  virtual bool Take(std::string& out) = 0;
  // Once, from any thread, when the stream ends for whatever reason: Take said so, the client
  // went away or stopped reading, or the server stopped.
  virtual void End() = 0;
};

struct HttpResponse {
  int nStatus = 200;
  std::string strContentType = "text/plain; charset=utf-8";
  std::string strBody;
  // Further header fields, sent as given.
  std::vector<std::pair<std::string, std::string>> aHeaders;
  // The connection is closed after this answer, whatever the client asked for.
  bool bClose = false;
  // The whole length is announced, half the body is sent, and the connection is closed.
  bool bCutHalfway = false;
  // When set, the answer is this stream instead of strBody.
  std::shared_ptr<IHttpStreamBody> pStream;
};

struct HttpServerOptions {
  HttpLimits limits;
  // How long a connection may wait, open and silent, for its next request.
  std::chrono::milliseconds idleTimeout{5000};
  // How long a request may take to arrive whole, from its first byte.
  std::chrono::milliseconds requestTimeout{10000};
  // How long an answer or a stream may wait for the client to take any of it.
  std::chrono::milliseconds sendStallTimeout{10000};
  // Open connections; past it, one is closed to make room (see above).
  std::size_t nMaxConnections = 512;
  // Threads running handlers, started as requests need them.
  std::size_t nMaxWorkers = 64;
};

class CHttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  explicit CHttpServer(Handler handler, HttpServerOptions options = {});
  ~CHttpServer();
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  // Listens on 127.0.0.1:`port` (0 picks a free port) and returns the port. Throws
  // std::runtime_error when the port cannot be had, also when another server holds it. Once
  // only.
  int Start(int port);
  // Closes the port and every connection, ends every stream, and returns once no handler
  // runs. Handlers that wait must be let go by their owner first.
  void Stop();

 private:
  struct Connection;
  class CWakeSignal;
  using ConnectionPtr = std::shared_ptr<Connection>;
  using Clock = std::chrono::steady_clock;

  void Loop();
  void Accept();
  bool MakeRoom();
  void Read(const ConnectionPtr& connection);
  void Advance(const ConnectionPtr& connection);
  void Refuse(const ConnectionPtr& connection, int status, const std::string& reason);
  void Close(const ConnectionPtr& connection);
  void Resume(const ConnectionPtr& connection);
  void ExpireDeadlines();
  void Serve(const ConnectionPtr& connection, const HttpRequest& request);
  bool Send(Connection& connection, const char* data, std::size_t size) const;
  // Streams: what the source has goes out as far as the client takes it without waiting.
  void Flush(const ConnectionPtr& connection);
  void Wake() const;

  void Post(std::function<void()> task);
  void WorkerLoop();
  void StopWorkers();

  Handler m_handler;
  HttpServerOptions m_options;
  int m_nListener = -1;
  int m_aWakePipe[2] = {-1, -1};
  std::shared_ptr<CWakeSignal> m_spWake;
  std::thread m_loop;
  bool m_bStarted = false;
  Clock::time_point m_acceptPausedUntil;

  // The loop thread's own: every open connection, busy or not.
  std::vector<ConnectionPtr> m_aConnections;

  std::mutex m_mutex;  // what follows
  bool m_bStopping = false;
  std::vector<ConnectionPtr> m_aReturned;  // answered, back from a worker
  std::condition_variable m_workSignal;
  std::deque<std::function<void()>> m_aTasks;
  std::vector<std::thread> m_aWorkers;
  std::size_t m_nIdleWorkers = 0;
};

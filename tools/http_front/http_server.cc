#include "tools/http_front/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

// After a refusal, what the client still sends is read and dropped for a while, so that it
// gets to read the refusal instead of a reset connection.
constexpr std::chrono::milliseconds kDrainTime{2000};
constexpr std::size_t kDrainBytes = 4 * 1024 * 1024;
// Answers up to this size go out in one piece with their head.
constexpr std::size_t kSmallAnswer = 64 * 1024;
constexpr int kAcceptsPerRound = 64;
// What one stream may send in one round of the loop, so that a source that never runs dry
// cannot hold up the other connections.
constexpr std::size_t kStreamRound = 1024 * 1024;

std::string StatusLine(int status) {
  return "HTTP/1.1 " + std::to_string(status) + " " + HttpReasonPhrase(status) + "\r\n";
}

}  // namespace

// The write end of the wake pipe, which streams keep for as long as they like: once the
// server is gone, a wake-up goes nowhere.
class CHttpServer::CWakeSignal {
 public:
  explicit CWakeSignal(int fd) : m_nFd(fd) {}

  void Signal() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nFd >= 0) {
      const char byte = 0;
      static_cast<void>(write(m_nFd, &byte, 1));  // a full pipe wakes the loop all the same
    }
  }
  void Disable() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nFd = -1;
  }

 private:
  std::mutex m_mutex;
  int m_nFd;
};

struct CHttpServer::Connection {
  Connection(int socket, HttpLimits limits) : nSocket(socket), reader(limits) {}
  ~Connection() {
    EndStream();
    close(nSocket);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void EndStream() {
    if (std::shared_ptr<IHttpStreamBody> stream = std::move(pStream)) {
      pStream.reset();
      stream->End();
    }
  }
  bool HasOutgoing() const { return nOutgoingSent < strOutgoing.size(); }

  const int nSocket;
  // The loop thread's own, and not touched while a worker has the connection.
  CRequestReader reader;
  Clock::time_point deadline;
  bool bBusy = false;        // a worker has it
  bool bClosed = false;      // no longer among the open connections
  bool bPeerClosed = false;  // the client sends no more
  bool bDraining = false;    // refused: what still comes is dropped until the client closes
  std::size_t nDrained = 0;
  // Set by the worker before it hands the connection back.
  bool bCloseWhenBack = false;
  std::shared_ptr<IHttpStreamBody> pStream;  // the answer is a stream
  // A stream's, once the loop writes it: the bytes not yet sent, and whether Take is done.
  bool bStreaming = false;
  bool bStreamOver = false;
  std::string strOutgoing;
  std::size_t nOutgoingSent = 0;
};

CHttpServer::CHttpServer(Handler handler, HttpServerOptions options)
    : m_handler(std::move(handler)), m_options(options) {}

CHttpServer::~CHttpServer() {
  Stop();
  if (m_spWake) {
    m_spWake->Disable();
  }
  for (int fd : m_aWakePipe) {
    if (fd >= 0) {
      close(fd);
    }
  }
}

int CHttpServer::Start(int port) {
  if (m_bStarted) {
    throw std::logic_error("the server was started already");
  }
  const std::string where = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": ";
  m_nListener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (m_nListener < 0) {
    throw std::runtime_error(where + std::strerror(errno));
  }
  const int one = 1;
  setsockopt(m_nListener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(m_nListener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_nListener, SOMAXCONN) != 0 ||
      getsockname(m_nListener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe2(m_aWakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    const int error = errno;
    close(m_nListener);
    m_nListener = -1;
    throw std::runtime_error(where + std::strerror(error));
  }
  m_spWake = std::make_shared<CWakeSignal>(m_aWakePipe[1]);
  m_bStarted = true;
  m_loop = std::thread([this] { Loop(); });
  return ntohs(address.sin_port);
}

void CHttpServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopping = true;
  }
  Wake();
  if (m_loop.joinable()) {
    m_loop.join();
  }
  StopWorkers();
  std::vector<ConnectionPtr> returned;  // let go of outside the lock: their streams end
  std::lock_guard<std::mutex> lock(m_mutex);
  returned.swap(m_aReturned);
}

void CHttpServer::Wake() const {
  if (m_spWake) {
    m_spWake->Signal();
  }
}

void CHttpServer::Loop() {
  std::vector<pollfd> fds;
  std::vector<ConnectionPtr> polled;
  std::vector<ConnectionPtr> returned;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_bStopping) {
        break;
      }
      returned.swap(m_aReturned);
    }
    for (const ConnectionPtr& connection : returned) {
      Resume(connection);
    }
    returned.clear();
    // Streams whose source may have more since the last round: the wake-ups come here.
    for (const ConnectionPtr& connection : std::vector<ConnectionPtr>(m_aConnections)) {
      if (connection->bStreaming && !connection->HasOutgoing() && !connection->bClosed) {
        Flush(connection);
      }
    }
    ExpireDeadlines();

    const Clock::time_point now = Clock::now();
    const bool bAccepting = now >= m_acceptPausedUntil;
    Clock::time_point next = bAccepting ? now + std::chrono::minutes(1) : m_acceptPausedUntil;
    fds.clear();
    polled.clear();
    fds.push_back({m_aWakePipe[0], POLLIN, 0});
    fds.push_back({bAccepting ? m_nListener : -1, POLLIN, 0});
    for (const ConnectionPtr& connection : m_aConnections) {
      if (connection->bBusy) {
        continue;
      }
      next = std::min(next, connection->deadline);
      const short events = connection->HasOutgoing() ? POLLIN | POLLOUT : POLLIN;
      fds.push_back({connection->nSocket, events, 0});
      polled.push_back(connection);
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    if (poll(fds.data(), fds.size(), static_cast<int>(std::max<decltype(wait)>(wait, 0))) < 0) {
      // Interrupted, or short of memory for a moment: look again.
      if (errno != EINTR) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      continue;
    }
    if (fds[0].revents != 0) {
      char drained[64];
      while (read(m_aWakePipe[0], drained, sizeof drained) > 0) {
      }
    }
    if (fds[1].revents != 0) {
      Accept();
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
      const short revents = fds[i + 2].revents;
      if ((revents & POLLOUT) != 0 && !polled[i]->bClosed) {
        Flush(polled[i]);
      }
      if ((revents & ~POLLOUT) != 0 && !polled[i]->bClosed) {
        Read(polled[i]);
      }
    }
  }

  // Every connection ends now; a worker still writing to one finds it shut.
  close(m_nListener);
  m_nListener = -1;
  for (const ConnectionPtr& connection : m_aConnections) {
    shutdown(connection->nSocket, SHUT_RDWR);
    if (!connection->bBusy) {
      connection->EndStream();
    }
  }
  m_aConnections.clear();
}

void CHttpServer::Accept() {
  for (int i = 0; i < kAcceptsPerRound; ++i) {
    const int fd = accept4(m_nListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) {
        continue;
      }
      // Out of descriptors: make room, or let the waiting connections wait a moment.
      if ((errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) &&
          !MakeRoom()) {
        m_acceptPausedUntil = Clock::now() + std::chrono::milliseconds(100);
      }
      return;
    }
    if (m_aConnections.size() >= m_options.nMaxConnections && !MakeRoom()) {
      close(fd);
      continue;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto connection = std::make_shared<Connection>(fd, m_options.limits);
    connection->deadline = Clock::now() + m_options.idleTimeout;
    m_aConnections.push_back(std::move(connection));
  }
}

bool CHttpServer::MakeRoom() {
  // The connection idle the longest (or refused and being drained) goes first; when none is,
  // the one whose request has been arriving the longest. Deadlines order both: an idle one's
  // runs from its last request, an arriving one's from its first byte.
  ConnectionPtr victim;
  bool bVictimSpare = false;
  for (const ConnectionPtr& connection : m_aConnections) {
    if (connection->bBusy || connection->bStreaming) {
      continue;
    }
    const bool bSpare = connection->bDraining || !connection->reader.HasStarted();
    if (!victim || (bSpare && !bVictimSpare) ||
        (bSpare == bVictimSpare && connection->deadline < victim->deadline)) {
      victim = connection;
      bVictimSpare = bSpare;
    }
  }
  if (victim) {
    Close(victim);
  }
  return victim != nullptr;
}

void CHttpServer::Read(const ConnectionPtr& connection) {
  char buffer[64 * 1024];
  const ssize_t count = recv(connection->nSocket, buffer, sizeof buffer, 0);
  if (count < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      Close(connection);
    }
    return;
  }
  // A refused request's rest, or whatever a stream's client still sends, is dropped.
  if (connection->bDraining || connection->bStreaming) {
    connection->nDrained += static_cast<std::size_t>(count);
    if (count == 0 || connection->nDrained > kDrainBytes) {
      Close(connection);
    }
    return;
  }
  if (count == 0) {
    connection->bPeerClosed = true;
  } else {
    if (!connection->reader.HasStarted()) {
      connection->deadline = Clock::now() + m_options.requestTimeout;
    }
    connection->reader.Append(buffer, static_cast<std::size_t>(count));
  }
  Advance(connection);
}

void CHttpServer::Advance(const ConnectionPtr& connection) {
  switch (connection->reader.Advance()) {
    case CRequestReader::State::kComplete: {
      connection->bBusy = true;
      auto request = std::make_shared<HttpRequest>(connection->reader.TakeRequest());
      Post([this, connection, request] { Serve(connection, *request); });
      return;
    }
    case CRequestReader::State::kFailed:
      Refuse(connection, connection->reader.FailureStatus(), connection->reader.FailureReason());
      return;
    case CRequestReader::State::kNeedMore:
      if (connection->bPeerClosed) {
        Close(connection);  // nothing more can come, and what came is no request
      } else if (connection->reader.TakeContinueRequest()) {
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        static_cast<void>(send(connection->nSocket, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL));
      }
      return;
  }
}

void CHttpServer::Refuse(const ConnectionPtr& connection, int status, const std::string& reason) {
  const std::string body = reason + "\n";
  const std::string answer =
      StatusLine(status) +
      "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\n\r\n" + body;
  // A refusal is small; what the socket does not take at once is not waited for.
  static_cast<void>(send(connection->nSocket, answer.data(), answer.size(), MSG_NOSIGNAL));
  shutdown(connection->nSocket, SHUT_WR);
  if (connection->bPeerClosed) {
    Close(connection);
    return;
  }
  connection->bDraining = true;
  connection->deadline = Clock::now() + kDrainTime;
}

void CHttpServer::Close(const ConnectionPtr& connection) {
  connection->bClosed = true;
  m_aConnections.erase(std::remove(m_aConnections.begin(), m_aConnections.end(), connection),
                       m_aConnections.end());
  connection->EndStream();
}

void CHttpServer::Resume(const ConnectionPtr& connection) {
  connection->bBusy = false;
  if (connection->bCloseWhenBack) {
    Close(connection);
    return;
  }
  if (connection->pStream) {
    connection->bStreaming = true;
    connection->deadline = Clock::now() + m_options.sendStallTimeout;
    connection->pStream->Begin([wake = m_spWake] { wake->Signal(); });
    Flush(connection);
    return;
  }
  connection->deadline = Clock::now() + (connection->reader.HasStarted() ? m_options.requestTimeout
                                                                         : m_options.idleTimeout);
  Advance(connection);  // a request sent behind the last one may be waiting whole
}

void CHttpServer::ExpireDeadlines() {
  const Clock::time_point now = Clock::now();
  const std::vector<ConnectionPtr> connections = m_aConnections;
  for (const ConnectionPtr& connection : connections) {
    if (connection->bBusy || now < connection->deadline) {
      continue;
    }
    if (connection->bStreaming || connection->bDraining || !connection->reader.HasStarted()) {
      Close(connection);
    } else {
      const auto seconds =
          std::chrono::duration_cast<std::chrono::seconds>(m_options.requestTimeout).count();
      Refuse(connection, 408,
             "the request did not arrive whole within " + std::to_string(seconds) + " s");
    }
  }
}

void CHttpServer::Serve(const ConnectionPtr& connection, const HttpRequest& request) {
  HttpResponse response;
  try {
    m_handler(request, response);
  } catch (const std::exception& error) {
    response = HttpResponse();
    response.nStatus = 500;
    response.strBody = std::string("internal error: ") + error.what() + "\n";
  }
  bool bKeepAlive = request.bKeepAlive && !response.bCutHalfway && !response.bClose;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    bKeepAlive = bKeepAlive && !m_bStopping;
  }
  std::string head =
      StatusLine(response.nStatus) + "Content-Type: " + response.strContentType + "\r\n";
  for (const auto& [name, value] : response.aHeaders) {
    head += name + ": " + value + "\r\n";
  }
  if (response.pStream) {
    // The loop writes it, head and all; it ends with the connection.
    connection->strOutgoing = head + "Connection: close\r\n\r\n";
    connection->bStreamOver = request.strMethod == "HEAD";
    connection->pStream = std::move(response.pStream);
  } else {
    head += "Content-Length: " + std::to_string(response.strBody.size()) +
            "\r\nConnection: " + (bKeepAlive ? "keep-alive" : "close") + "\r\n\r\n";
    const std::size_t bodyBytes = request.strMethod == "HEAD" ? 0
                                  : response.bCutHalfway      ? response.strBody.size() / 2
                                                              : response.strBody.size();
    bool bSent = false;
    if (bodyBytes <= kSmallAnswer) {
      head.append(response.strBody, 0, bodyBytes);
      bSent = Send(*connection, head.data(), head.size());
    } else {
      bSent = Send(*connection, head.data(), head.size()) &&
              Send(*connection, response.strBody.data(), bodyBytes);
    }
    connection->bCloseWhenBack = !bSent || !bKeepAlive;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aReturned.push_back(connection);
  }
  Wake();
}

bool CHttpServer::Send(Connection& connection, const char* data, std::size_t size) const {
  const auto stall = static_cast<int>(m_options.sendStallTimeout.count());
  while (size > 0) {
    const ssize_t count = send(connection.nSocket, data, size, MSG_NOSIGNAL);
    if (count > 0) {
      data += count;
      size -= static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd writable{connection.nSocket, POLLOUT, 0};
      const int ready = poll(&writable, 1, stall);
      if (ready < 0 && errno == EINTR) {
        continue;
      }
      if (ready <= 0 || (writable.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return false;
      }
      continue;
    }
    return false;
  }
  return true;
}

void CHttpServer::Flush(const ConnectionPtr& connection) {
  std::size_t sent = 0;
  for (;;) {
    if (!connection->HasOutgoing()) {
      connection->strOutgoing.clear();
      connection->nOutgoingSent = 0;
      if (!connection->bStreamOver && sent < kStreamRound) {
        connection->bStreamOver = !connection->pStream->Take(connection->strOutgoing);
        connection->deadline = Clock::now() + m_options.sendStallTimeout;
      }
      if (!connection->HasOutgoing()) {
        connection->deadline = Clock::time_point::max();
        if (connection->bStreamOver) {
          Close(connection);
        } else if (sent >= kStreamRound) {
          Wake();  // the other connections' turn first; the next round goes on
        }
        return;
      }
    }
    const ssize_t count =
        send(connection->nSocket, connection->strOutgoing.data() + connection->nOutgoingSent,
             connection->strOutgoing.size() - connection->nOutgoingSent, MSG_NOSIGNAL);
    if (count > 0) {
      connection->nOutgoingSent += static_cast<std::size_t>(count);
      sent += static_cast<std::size_t>(count);
      connection->deadline = Clock::now() + m_options.sendStallTimeout;
      continue;
    }
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;  // POLLOUT tells when the client has taken some; the deadline is running
    }
    Close(connection);
    return;
  }
}

void CHttpServer::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bStopping) {
    return;
  }
  m_aTasks.push_back(std::move(task));
  if (m_aTasks.size() > m_nIdleWorkers && m_aWorkers.size() < m_options.nMaxWorkers) {
    m_aWorkers.emplace_back([this] { WorkerLoop(); });
  }
  m_workSignal.notify_one();
}

void CHttpServer::WorkerLoop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    ++m_nIdleWorkers;
    m_workSignal.wait(lock, [this] { return m_bStopping || !m_aTasks.empty(); });
    --m_nIdleWorkers;
    if (m_bStopping) {
      return;
    }
    std::function<void()> task = std::move(m_aTasks.front());
    m_aTasks.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // lets go of the connection before the lock is taken again
    lock.lock();
  }
}

void CHttpServer::StopWorkers() {
  std::vector<std::thread> workers;
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    workers.swap(m_aWorkers);
    dropped.swap(m_aTasks);
  }
  m_workSignal.notify_all();
  for (std::thread& worker : workers) {
    worker.join();
  }
}

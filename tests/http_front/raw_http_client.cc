#include "tests/http_front/raw_http_client.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

std::string RawAnswer::Header(std::string_view name) const {
  std::size_t start = strHead.find("\r\n");
  while (start != std::string::npos && start + 2 < strHead.size()) {
    start += 2;
    const std::size_t end = strHead.find("\r\n", start);
    const std::string line = strHead.substr(start, end - start);
    const std::size_t colon = line.find(':');
    bool bMatch = colon == name.size();
    for (std::size_t i = 0; bMatch && i < name.size(); ++i) {
      bMatch = std::tolower(static_cast<unsigned char>(line[i])) ==
               std::tolower(static_cast<unsigned char>(name[i]));
    }
    if (bMatch) {
      const std::size_t value = line.find_first_not_of(' ', colon + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
    start = end;
  }
  return "";
}

CRawConnection::CRawConnection(int port) {
  m_nSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (m_nSocket >= 0 &&
      connect(m_nSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(m_nSocket);
    m_nSocket = -1;
  }
  // A request's last piece goes out at once, not when the server acknowledges the rest,
  // which it delays until the answer it cannot give before the whole request.
  const int one = 1;
  if (m_nSocket >= 0) {
    setsockopt(m_nSocket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
}

CRawConnection::~CRawConnection() {
  if (m_nSocket >= 0) {
    close(m_nSocket);
  }
}

bool CRawConnection::Send(std::string_view data) {
  while (!data.empty()) {
    const ssize_t count = send(m_nSocket, data.data(), data.size(), MSG_NOSIGNAL);
    if (count <= 0) {
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

void CRawConnection::ShutdownWrite() {
  shutdown(m_nSocket, SHUT_WR);
}

bool CRawConnection::Receive(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd ready{m_nSocket, POLLIN, 0};
  if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) {
    return false;
  }
  char buffer[64 * 1024];
  const ssize_t count = recv(m_nSocket, buffer, sizeof buffer, 0);
  if (count <= 0) {
    return false;
  }
  m_strBuffer.append(buffer, static_cast<std::size_t>(count));
  return true;
}

std::optional<RawAnswer> CRawConnection::ReadAnswer(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::optional<std::string> head = ReadThrough("\r\n\r\n", timeout);
  if (!head) {
    return std::nullopt;
  }
  RawAnswer answer;
  answer.strHead = head->substr(0, head->size() - 2);
  if (answer.strHead.rfind("HTTP/1.", 0) != 0 || answer.strHead.size() < 12) {
    return std::nullopt;
  }
  answer.nStatus = std::stoi(answer.strHead.substr(9, 3));
  const std::string length = answer.Header("Content-Length");
  const std::size_t size = length.empty() ? 0 : std::stoul(length);
  while (m_strBuffer.size() < size) {
    if (!Receive(deadline)) {
      return std::nullopt;
    }
  }
  answer.strBody = m_strBuffer.substr(0, size);
  m_strBuffer.erase(0, size);
  return answer;
}

std::optional<std::string> CRawConnection::ReadThrough(std::string_view marker,
                                                       std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t end = std::string::npos;
  while ((end = m_strBuffer.find(marker)) == std::string::npos) {
    if (!Receive(deadline)) {
      return std::nullopt;
    }
  }
  std::string text = m_strBuffer.substr(0, end + marker.size());
  m_strBuffer.erase(0, end + marker.size());
  return text;
}

bool CRawConnection::ClosedWithin(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{m_nSocket, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) {
      return false;
    }
    char buffer[4096];
    if (recv(m_nSocket, buffer, sizeof buffer, 0) <= 0) {
      return true;
    }
  }
}

std::string RawPost(const std::string& path, const std::string& body,
                    const std::string& extraHeaders, const std::string& type) {
  return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" +
         body;
}

CSlowSenders::CSlowSenders(int port, int count, std::chrono::milliseconds interval) {
  for (int i = 0; i < count; ++i) {
    m_aConnections.push_back(std::make_unique<CRawConnection>(port));
  }
  m_thread = std::thread([this, interval] {
    const std::string head = "POST /restserver.php HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    std::size_t sent = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_signal.wait_for(lock, interval, [this] { return m_bStop; })) {
      const char byte = sent < head.size() ? head[sent] : 'a';
      ++sent;
      for (const auto& connection : m_aConnections) {
        if (connection->Connected()) {
          connection->Send(std::string_view(&byte, 1));
        }
      }
    }
  });
}

CSlowSenders::~CSlowSenders() {
  Stop();
}

int CSlowSenders::Connected() const {
  int count = 0;
  for (const auto& connection : m_aConnections) {
    count += connection->Connected() ? 1 : 0;
  }
  return count;
}

void CSlowSenders::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStop = true;
  }
  m_signal.notify_all();
  if (m_thread.joinable()) {
    m_thread.join();
  }
  m_aConnections.clear();
}

std::vector<std::unique_ptr<CRawConnection>> OpenIdleConnections(int port, int count) {
  std::vector<std::unique_ptr<CRawConnection>> connections;
  for (int i = 0; i < count; ++i) {
    auto connection = std::make_unique<CRawConnection>(port);
    if (connection->Connected()) {
      connection->Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
    connections.push_back(std::move(connection));
  }
  return connections;
}

std::string GzipForTest(const std::string& body) {
  httplib::detail::gzip_compressor compressor;
  std::string out;
  compressor.compress(body.data(), body.size(), true, [&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  });
  return out;
}

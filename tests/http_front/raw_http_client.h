// A loopback HTTP connection driven byte by byte, for clients no library would be: slow ones,
// pipelining ones, ones that half-close or never send anything.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct RawAnswer {
  int nStatus = 0;
  std::string strHead;  // status line and headers
  std::string strBody;

  // The value of header `name` (as written, any case); empty when absent.
  std::string Header(std::string_view name) const;
};

class CRawConnection {
 public:
  // Connects to 127.0.0.1:`port`; Connected() tells whether it worked.
  explicit CRawConnection(int port);
  ~CRawConnection();
  CRawConnection(const CRawConnection&) = delete;
  CRawConnection& operator=(const CRawConnection&) = delete;

  bool Connected() const { return m_nSocket >= 0; }
  bool Send(std::string_view data);
  void ShutdownWrite();
  // The next answer, its body read by Content-Length; nothing when the connection ends or
  // the time runs out first.
  std::optional<RawAnswer> ReadAnswer(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // What arrives up to and including the first `marker` (a stream's head, then its events);
  // nothing when the connection ends or the time runs out first.
  std::optional<std::string> ReadThrough(
      std::string_view marker, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Whether the server ends the connection within `timeout`; what it sends first is dropped.
  bool ClosedWithin(std::chrono::milliseconds timeout);

 private:
  // Reads what arrives within the time left; false when the connection ended or timed out.
  bool Receive(std::chrono::steady_clock::time_point deadline);

  int m_nSocket = -1;
  std::string m_strBuffer;
};

// Connections that each send a request head a byte at a time, one byte every `interval`,
// from a thread of their own until destroyed. The head never ends.
class CSlowSenders {
 public:
  CSlowSenders(int port, int count, std::chrono::milliseconds interval);
  ~CSlowSenders();
  CSlowSenders(const CSlowSenders&) = delete;
  CSlowSenders& operator=(const CSlowSenders&) = delete;

  int Connected() const;
  // Stops sending and closes the connections.
  void Stop();

 private:
  std::vector<std::unique_ptr<CRawConnection>> m_aConnections;
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_signal;
  bool m_bStop = false;
};

// `count` connections that each send one whole request and then stay open and silent,
// never reading the answer.
std::vector<std::unique_ptr<CRawConnection>> OpenIdleConnections(int port, int count);

// A request written out whole, for sending over a raw connection.
std::string RawPost(const std::string& path, const std::string& body,
                    const std::string& extraHeaders = "",
                    const std::string& type = "application/x-www-form-urlencoded");

// `body` compressed as a gzip stream.
std::string GzipForTest(const std::string& body);

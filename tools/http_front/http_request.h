// HTTP/1.1 requests as the HTTP front (http_server.h) reads them off a connection. The
// reader takes bytes as they arrive and never holds more than the limits allow: the head is
// bounded as it is read, and the body is bounded by what it amounts to once the chunks are
// joined and the compression undone, not by what the client announces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string strMethod;
  std::string strTarget;  // as sent: the path and the query
  std::string strPath;    // the path, percent-decoded
  std::string strQuery;   // what follows "?", as sent
  std::vector<std::pair<std::string, std::string>> aHeaders;
  std::string strBody;  // chunks joined, content encoding undone
  bool bKeepAlive = true;

  // The first value of the header `name`, in any case; empty when the request has none.
  std::string Header(std::string_view name) const;
};

struct HttpLimits {
  std::size_t nMaxHeadBytes = 64 * 1024;  // request line and headers; the trailers likewise
  std::size_t nMaxHeaderFields = 100;
  std::size_t nMaxBodyBytes = 1024 * 1024;  // as sent, and again once decompressed
};

class CRequestReader {
 public:
  enum class State { kNeedMore, kComplete, kFailed };

  explicit CRequestReader(HttpLimits limits = {}) : m_limits(limits) {}

  // Bytes received from the client; Advance reads them.
  void Append(const char* data, std::size_t size);
  // Reads as far as the bytes received allow. After kComplete, TakeRequest gives the request
  // and the reader goes on with the bytes after it (a pipelined request). kFailed is final.
  State Advance();
  HttpRequest TakeRequest();

  // Whether some byte of the next request has been received.
  bool HasStarted() const;
  // True once per request whose head asked for "100 Continue" before its body.
  bool TakeContinueRequest();

  // After kFailed: the status to answer with and why.
  int FailureStatus() const { return m_nFailureStatus; }
  const std::string& FailureReason() const { return m_strFailureReason; }

 private:
  enum class Phase {
    kHead,
    kFixedBody,
    kChunkSize,
    kChunkData,
    kChunkEnd,
    kTrailer,
    kDone,
    kFailed
  };

  State Fail(int status, std::string reason);
  State ReadHead();
  State ParseHead(std::string_view head);
  State ReadFixedBody();
  State ReadChunkSize();
  State ReadChunkData();
  State ReadChunkEnd();
  State ReadTrailer();
  State Finish();
  // Finds the next whole line from m_nPos; false when it has not arrived yet.
  bool NextLine(std::string_view& line);
  void Compact();

  HttpLimits m_limits;
  std::string m_strInput;
  std::size_t m_nPos = 0;   // the first byte not yet read
  std::size_t m_nScan = 0;  // where the search for the end of the head goes on
  Phase m_phase = Phase::kHead;
  HttpRequest m_request;
  std::string m_strEncoding;  // "gzip", "deflate", "br" or empty
  std::size_t m_nRemaining = 0;
  std::size_t m_nTrailerBytes = 0;
  bool m_bContinue = false;
  int m_nFailureStatus = 0;
  std::string m_strFailureReason;
};

// The reason phrase of a status code ("Not Found" for 404).
const char* HttpReasonPhrase(int status);

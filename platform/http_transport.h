// HTTP transport seam: the steps of one request, each able to fail on its own, so that the
// REST client can name the step that failed and keep its own outcome rules.
//
// Use: OpenSession -> SetTimeouts -> Connect -> OpenRequest -> AddHeader... -> Send ->
// QueryStatusCode -> (QueryDataAvailable -> Read)... -> destroy request, connection, session
// in that order. Destroying an object closes it; a request must not outlive its connection,
// nor a connection its session.
//
// Errors: every step reports failure through its result (null or false); nothing throws
// except std::bad_alloc. A failed step leaves the object usable only for destruction.
//
// Threading: one transport serves any number of threads at once; each session, connection
// and request belongs to the thread that opened it.
//
// Time-outs: the connect time-out bounds the connection set-up; the receive time-out bounds
// each wait for bytes ("no byte for that long"), never the whole answer. A time-out during
// Send makes Send fail; during QueryDataAvailable or Read it makes them fail.
//
// Requests carry no cookies, never come from or go to a cache, never prompt the user and
// accept any media type. Every request opens its own connection.
//
// TLS (HttpScheme::kHttps): before any byte of a request leaves, the server's certificate must
// chain to a root the transport trusts (the system's, plus any the implementation was told to
// trust), be within its validity and name the host that was connected to (a name, or an IP
// address). A certificate refused, or a server that does not speak TLS, makes Send fail with
// nothing of the request sent; there is never a retry over plain HTTP, nor any redirect
// followed to it. The user is never asked to accept a certificate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class HttpScheme { kHttp, kHttps };

class IHttpRequest {
 public:
  virtual ~IHttpRequest() = default;

  // Adds one "Name: value" header line, replacing a header of the same name. A header that
  // cannot be added is dropped silently.
  virtual void AddHeader(const std::string& line) = 0;

  // Sends the request with all bytes of `body` and waits for the answer's status line.
  // false: nothing usable came back (refused, unreachable, timed out).
  virtual bool Send(const std::string& body) = 0;

  // The answer's HTTP status code. false when it cannot be read; then `*systemError` holds
  // the platform's error code for the log.
  virtual bool QueryStatusCode(std::int32_t* status, std::uint32_t* systemError) = 0;

  // The number of body bytes that can be read now, waiting at most the receive time-out for
  // the first of them. 0 means the body is complete. false: the connection failed.
  virtual bool QueryDataAvailable(std::uint32_t* available) = 0;

  // Reads at most `size` bytes into `buffer`, setting `*read`; 0 bytes read ends the body.
  // false: the connection failed.
  virtual bool Read(char* buffer, std::uint32_t size, std::uint32_t* read) = 0;

  // Why Send got no answer, in words for the log ("the server's certificate was refused:
  // ..."); empty until Send has failed to get one.
  virtual std::string DescribeFailure() const = 0;
};

class IHttpConnection {
 public:
  virtual ~IHttpConnection() = default;

  // A request with `verb` (for example "POST") for the object `path`. null on failure.
  virtual std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb,
                                                    const std::string& path) = 0;
};

class IHttpSession {
 public:
  virtual ~IHttpSession() = default;

  // Time-outs in milliseconds for every connection opened later. Cannot fail visibly.
  virtual void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) = 0;

  // A connection to `host` and `port`, over TLS for kHttps (see the top of this file). The
  // name may be resolved lazily, so an unreachable host can also surface later, at Send.
  // null on failure.
  virtual std::unique_ptr<IHttpConnection> Connect(const std::string& host, int port,
                                                   HttpScheme scheme) = 0;
};

class IHttpTransport {
 public:
  virtual ~IHttpTransport() = default;

  // A session that sends `userAgent` and follows the system's proxy settings (never a proxy
  // for loopback addresses). null on failure.
  virtual std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) = 0;
};

// Rules every implementation applies to its input, so that none can drift from the others.
// Input that could change the meaning of a request is refused, never sent.

// A user agent fit for a header line: no line break and no NUL.
bool IsAcceptableUserAgent(const std::string& userAgent);
// A host that names one server: a name, an IPv4 address or an IPv6 address (bracketed or
// not); never "user@host", "a/b" or anything with blanks. Ports run from 1 to 65535.
bool IsAcceptableHost(const std::string& host, int port);
// A method name (an HTTP token) and an origin-form path: "/" followed by visible ASCII.
bool IsAcceptableRequest(const std::string& verb, const std::string& path);
// Splits one "Name: value" line (a trailing CRLF is tolerated; blanks around the value are
// dropped). false when it is not exactly one well-formed line, or when it would set the
// body's framing (Content-Length, Transfer-Encoding), which belongs to the transport.
bool ParseAddableHeader(std::string line, std::string* name, std::string* value);
// Header names compare without regard to ASCII case.
bool SameHeaderName(const std::string& left, const std::string& right);
